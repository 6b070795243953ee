// gbm against an independent GIF implementation (giflib, used only here): files gbm writes
// decode identically with giflib, and files giflib writes decode identically with gbm.
#include "gbm.h"
#include "../gbm_test_support.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

using namespace gbmtest;

namespace {

std::string tempPath(const std::string& name) {
    return tempFileIn(std::string(GBM_INTEROP_BINARY_DIR) + "/gbm_interop_files", name);
}

std::vector<uint8_t> blobs(int w, int h, int colours) {
    std::vector<uint8_t> px((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[(size_t)y * w + x] = (uint8_t)(((x / 5) * 3 + (y / 7) * 5 + (x * y) / 97) % colours);
    return px;
}

// What giflib makes of a file: the screen and the first image, top row first.
struct GiflibImage {
    bool ok = false;
    int screenW = 0, screenH = 0;
    int left = 0, top = 0, w = 0, h = 0;
    std::vector<GifColorType> colours;
    std::vector<uint8_t> px;
};

GiflibImage readWithGiflib(const std::string& path) {
    GiflibImage out;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return out;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1) {
        const SavedImage& img = gif->SavedImages[0];
        const ColorMapObject* map =
            img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
        out.screenW = gif->SWidth;
        out.screenH = gif->SHeight;
        out.left = img.ImageDesc.Left;
        out.top = img.ImageDesc.Top;
        out.w = img.ImageDesc.Width;
        out.h = img.ImageDesc.Height;
        if (map) out.colours.assign(map->Colors, map->Colors + map->ColorCount);
        // DGifSlurp hands back the rows in picture order, interlaced or not.
        out.px.assign(img.RasterBits, img.RasterBits + (size_t)out.w * out.h);
        out.ok = true;
    }
    DGifCloseFile(gif, &error);
    return out;
}

std::vector<GifColorType> giflibColours(int count, int salt) {
    std::vector<GifColorType> c((size_t)count);
    for (int i = 0; i < count; ++i)
        c[(size_t)i] = {(GifByteType)(i * 3 + salt), (GifByteType)(i * 7), (GifByteType)(255 - i)};
    return c;
}

struct GiflibImageSpec {
    int left, top, w, h;
    bool interlaced;
    int localColours; // 0: the global table
    std::vector<uint8_t> px;
};

// Writes a file with giflib: a screen, optional extensions, then the images.
bool writeWithGiflib(const std::string& path, bool gif89, int screenW, int screenH,
                     int globalColours, int background, bool extensions,
                     const std::vector<GiflibImageSpec>& images) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif) return false;
    bool ok = true;
    EGifSetGifVersion(gif, gif89);
    std::vector<GifColorType> global = giflibColours(globalColours ? globalColours : 2, 0);
    ColorMapObject* globalMap =
        globalColours ? GifMakeMapObject(globalColours, global.data()) : nullptr;
    ok = ok && EGifPutScreenDesc(gif, screenW, screenH, 8, background, globalMap) == GIF_OK;
    if (extensions) {
        const char comment[] = "a comment block before the picture";
        const unsigned char control[4] = {0x04, 0x0a, 0x00, 0x03}; // delay, transparent 3
        ok = ok &&
             EGifPutExtension(gif, COMMENT_EXT_FUNC_CODE, sizeof comment - 1, comment) == GIF_OK;
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    }
    for (const GiflibImageSpec& image : images) {
        std::vector<GifColorType> local =
            giflibColours(image.localColours ? image.localColours : 2, 40);
        ColorMapObject* localMap =
            image.localColours ? GifMakeMapObject(image.localColours, local.data()) : nullptr;
        // giflib 5.2.1 drops its copy of the previous image's local table without freeing it
        // when the next image has none (LeakSanitizer finds it): free it here first.
        if (!localMap && gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        ok = ok && EGifPutImageDesc(gif, image.left, image.top, image.w, image.h, image.interlaced,
                                    localMap) == GIF_OK;
        // giflib takes the rows in the order the file stores them.
        std::vector<int> rows;
        if (image.interlaced) {
            rows = interlacedRows(image.h);
        } else {
            for (int y = 0; y < image.h; ++y) rows.push_back(y);
        }
        for (int y : rows) {
            std::vector<GifPixelType> line(image.px.begin() + (long)y * image.w,
                                           image.px.begin() + (long)(y + 1) * image.w);
            ok = ok && EGifPutLine(gif, line.data(), image.w) == GIF_OK;
        }
        if (localMap) GifFreeMapObject(localMap);
    }
    if (globalMap) GifFreeMapObject(globalMap);
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

void expectGiflibReadsWhatGbmWrote(int w, int h, int bpp, const std::vector<uint8_t>& px,
                                   const char* options) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " bpp " + std::to_string(bpp) +
                 " '" + options + "'");
    const std::string path = tempPath("by_gbm.gif");
    const std::vector<GBMRGB> palette = rampPalette(1 << bpp);
    ASSERT_EQ(writeImage(path, w, h, bpp, palette, pack(w, h, bpp, px), options), GBM_ERR_OK);
    const GiflibImage g = readWithGiflib(path);
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(g.screenW, w);
    EXPECT_EQ(g.screenH, h);
    EXPECT_EQ(g.left, 0);
    EXPECT_EQ(g.top, 0);
    ASSERT_EQ(g.w, w);
    ASSERT_EQ(g.h, h);
    ASSERT_EQ(g.colours.size(), (size_t)(1 << bpp));
    for (int i = 0; i < (1 << bpp); ++i) {
        ASSERT_EQ(g.colours[i].Red, palette[i].r) << i;
        ASSERT_EQ(g.colours[i].Green, palette[i].g) << i;
        ASSERT_EQ(g.colours[i].Blue, palette[i].b) << i;
    }
    EXPECT_TRUE(g.px == px) << "pixels differ";
}

} // namespace

TEST(GbmInterop, GbmFilesDecodeIdenticallyWithGiflib) {
    const int sizes[][2] = {{1, 1}, {2, 3}, {5, 1}, {17, 9}, {33, 31}, {320, 200}, {641, 479}};
    uint32_t seed = 100;
    for (const auto& s : sizes)
        for (int bpp : {1, 4, 8})
            for (const char* options : {"", "interlace"}) {
                expectGiflibReadsWhatGbmWrote(s[0], s[1], bpp,
                                              randomPixels(s[0], s[1], 1 << bpp, seed++), options);
                expectGiflibReadsWhatGbmWrote(s[0], s[1], bpp, blobs(s[0], s[1], 1 << bpp),
                                              options);
            }
    // Long strings and many restarts of the string table.
    expectGiflibReadsWhatGbmWrote(2000, 1500, 8, std::vector<uint8_t>((size_t)2000 * 1500, 77), "");
    expectGiflibReadsWhatGbmWrote(1024, 768, 8, randomPixels(1024, 768, 256, 5), "");
}

TEST(GbmInterop, GiflibFilesDecodeIdenticallyWithGbm) {
    // Every table size, interlaced or not, GIF87a and GIF89a with extensions before the image.
    const std::string path = tempPath("by_giflib.gif");
    const int expectedBpp[9] = {0, 1, 4, 4, 4, 8, 8, 8, 8};
    uint32_t seed = 1;
    for (int bits = 1; bits <= 8; ++bits)
        for (bool interlaced : {false, true})
            for (const auto& size : {std::pair<int, int>{1, 1}, {13, 7}, {160, 99}, {640, 480}}) {
                const int w = size.first, h = size.second, colours = 1 << bits;
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " colours " +
                             std::to_string(colours) + (interlaced ? " interlaced" : ""));
                const std::vector<uint8_t> px =
                    (seed & 1) ? randomPixels(w, h, colours, seed) : blobs(w, h, colours);
                ++seed;
                ASSERT_TRUE(writeWithGiflib(path, interlaced, w, h, colours, 0, interlaced,
                                            {{0, 0, w, h, interlaced, 0, px}}));
                const Image img = readImage(path);
                ASSERT_EQ(img.rc, GBM_ERR_OK);
                ASSERT_EQ(img.w, w);
                ASSERT_EQ(img.h, h);
                EXPECT_EQ(img.bpp, expectedBpp[bits]);
                const std::vector<GifColorType> want = giflibColours(colours, 0);
                for (int i = 0; i < 256; ++i) {
                    const GifColorType c = i < colours ? want[i] : GifColorType{0, 0, 0};
                    ASSERT_TRUE(img.palette[i].r == c.Red && img.palette[i].g == c.Green &&
                                img.palette[i].b == c.Blue)
                        << "entry " << i;
                }
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(img.pixel(x, y), px[(size_t)y * w + x]) << x << "," << y;
            }
}

TEST(GbmInterop, GiflibLocalTablesPlacedImagesAndLaterFrames) {
    const std::string path = tempPath("by_giflib_local.gif");
    // A 16-colour global table, a 256-colour local one, an interlaced 50x30 image at (20, 10)
    // on a 100x60 screen with background index 9, and a second image that must not count.
    const std::vector<uint8_t> px = randomPixels(50, 30, 256, 42);
    ASSERT_TRUE(writeWithGiflib(path, true, 100, 60, 16, 9, true,
                                {{20, 10, 50, 30, true, 256, px},
                                 {0, 0, 100, 60, false, 0, std::vector<uint8_t>(6000, 1)}}));
    const GiflibImage g = readWithGiflib(path);
    ASSERT_TRUE(g.ok);
    ASSERT_TRUE(g.px == px);

    const Image img = readImage(path);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    ASSERT_EQ(img.w, 100);
    ASSERT_EQ(img.h, 60);
    EXPECT_EQ(img.bpp, 8);
    const std::vector<GifColorType> local = giflibColours(256, 40);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(img.palette[i].r, local[i].Red) << i;
        ASSERT_EQ(img.palette[i].b, local[i].Blue) << i;
    }
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 20 && x < 70 && y >= 10 && y < 40;
            const int want = inside ? px[(size_t)(y - 10) * 50 + (x - 20)] : 9;
            ASSERT_EQ(img.pixel(x, y), want) << x << "," << y;
        }
}
