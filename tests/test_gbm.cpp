#include "gbm.h"
#include "gbm_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace gbmtest;

namespace {

std::string tempPath(const std::string& name) {
    return tempFileIn(std::string(QUORBEL_BINARY_DIR) + "/gbm_test_files", name);
}

// Writes and reads back; checks every pixel, the padding, the palette and the size.
void expectRoundTrip(int w, int h, int bpp, const std::vector<uint8_t>& px,
                     const char* options = "") {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " bpp " + std::to_string(bpp) +
                 " options '" + options + "'");
    const std::string path = tempPath("round_trip.gif");
    const std::vector<GBMRGB> palette = rampPalette(1 << bpp);
    const std::vector<uint8_t> data = pack(w, h, bpp, px);
    ASSERT_EQ(writeImage(path, w, h, bpp, palette, data, options), GBM_ERR_OK);
    const Image img = readImage(path);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    EXPECT_EQ(img.w, w);
    EXPECT_EQ(img.h, h);
    EXPECT_EQ(img.bpp, bpp);
    EXPECT_TRUE(img.data == data) << "pixel data differs";
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(img.palette[i].r, palette[i].r) << "entry " << i;
        ASSERT_EQ(img.palette[i].g, palette[i].g) << "entry " << i;
        ASSERT_EQ(img.palette[i].b, palette[i].b) << "entry " << i;
    }
}

GBM_ERR readHeaderOf(const std::vector<uint8_t>& bytes, GBM& header) {
    const std::string path = tempPath("header.gif");
    if (!writeBytes(path, bytes)) return -1;
    const int fd = gbm_io_open(path.c_str(), GBM_O_RDONLY);
    const GBM_ERR rc = gbm_read_header(path.c_str(), fd, GBM_FT_GIF, &header, "");
    gbm_io_close(fd);
    return rc;
}

Image readBytesAsImage(const std::vector<uint8_t>& bytes) {
    const std::string path = tempPath("built.gif");
    if (writeBytes(path, bytes)) return readImage(path);
    Image failed;
    failed.rc = -1;
    return failed;
}

} // namespace

TEST(GbmFiles, GuessesGifFromTheExtensionInAnyCase) {
    int ft = 99;
    EXPECT_EQ(gbm_guess_filetype("pics\\sunset.gif", &ft), GBM_ERR_OK);
    EXPECT_EQ(ft, GBM_FT_GIF);
    EXPECT_EQ(gbm_guess_filetype("C:\\Winamp\\shot_12.GIF", &ft), GBM_ERR_OK);
    EXPECT_EQ(ft, GBM_FT_GIF);
    EXPECT_NE(gbm_guess_filetype("picture.bmp", &ft), GBM_ERR_OK);
    EXPECT_NE(gbm_guess_filetype("gif", &ft), GBM_ERR_OK);
    EXPECT_NE(gbm_guess_filetype("archive.gif.zip", &ft), GBM_ERR_OK);
}

TEST(GbmFiles, HandlesOpenCloseAndRefuseMisuse) {
    EXPECT_EQ(gbm_io_open(tempPath("does_not_exist.gif").c_str(), GBM_O_RDONLY), -1);
    EXPECT_EQ(gbm_io_create((tempPath("no_such_dir") + "/x.gif").c_str(), GBM_O_WRONLY), -1);

    const std::string path = tempPath("handles.gif");
    std::vector<int> handles;
    for (int i = 0; i < 8; ++i) {
        const int fd = gbm_io_create(path.c_str(), GBM_O_WRONLY | GBM_O_BINARY);
        ASSERT_NE(fd, -1);
        for (int other : handles) EXPECT_NE(fd, other);
        handles.push_back(fd);
    }
    for (int fd : handles) EXPECT_EQ(gbm_io_close(fd), GBM_ERR_OK);
    EXPECT_EQ(gbm_io_close(handles[0]), GBM_ERR_BAD_HANDLE);
    EXPECT_EQ(gbm_io_close(-1), GBM_ERR_BAD_HANDLE);
    EXPECT_EQ(gbm_io_close(100000), GBM_ERR_BAD_HANDLE);

    GBM header{};
    GBMRGB palette[256];
    uint8_t data[16];
    EXPECT_EQ(gbm_read_header("x.gif", handles[0], GBM_FT_GIF, &header, ""), GBM_ERR_BAD_HANDLE);
    // A header that gbm_read_header did not fill is refused.
    EXPECT_EQ(gbm_read_palette(handles[0], GBM_FT_GIF, &header, palette), GBM_ERR_BAD_ARG);
    EXPECT_EQ(gbm_read_data(handles[0], GBM_FT_GIF, &header, data), GBM_ERR_BAD_HANDLE);
}

TEST(GbmRoundTrip, SizesDepthsAndInterlace) {
    const int sizes[][2] = {{1, 1},   {2, 1},  {1, 2},  {3, 5},    {7, 3},   {9, 9},  {13, 11},
                            {31, 17}, {33, 8}, {63, 2}, {100, 37}, {1, 300}, {301, 1}};
    uint32_t seed = 1;
    for (const auto& s : sizes)
        for (int bpp : {1, 4, 8})
            for (const char* options : {"", "interlace"})
                expectRoundTrip(s[0], s[1], bpp, randomPixels(s[0], s[1], 1 << bpp, seed++),
                                options);
}

TEST(GbmRoundTrip, LargeFramesFillAndRestartTheStringTable) {
    // Noise at 8 bits fills the 4096-entry string table many times over.
    expectRoundTrip(640, 480, 8, randomPixels(640, 480, 256, 7));
    expectRoundTrip(1001, 999, 8, randomPixels(1001, 999, 256, 8), "interlace");
    // One colour everywhere builds the longest strings the table allows.
    expectRoundTrip(2000, 1500, 8, std::vector<uint8_t>((size_t)2000 * 1500, 200));
    expectRoundTrip(1027, 771, 1, std::vector<uint8_t>((size_t)1027 * 771, 1));
    // Smooth gradients as in real frames.
    std::vector<uint8_t> px((size_t)640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) px[(size_t)y * 640 + x] = (uint8_t)((x / 3 + y / 2) & 255);
    expectRoundTrip(640, 480, 8, px);
    expectRoundTrip(777, 555, 4, randomPixels(777, 555, 16, 9));
}

TEST(GbmWrite, RefusesWhatCannotBeWrittenAndReportsWriteErrors) {
    const std::vector<GBMRGB> palette = rampPalette(256);
    const std::vector<uint8_t> data((size_t)64 * 64 * 3, 0);
    const std::string path = tempPath("refused.gif");
    EXPECT_EQ(writeImage(path, 8, 8, 24, palette, data), GBM_ERR_NOT_SUPP);
    EXPECT_EQ(writeImage(path, 8, 8, 2, palette, data), GBM_ERR_NOT_SUPP);
    EXPECT_EQ(writeImage(path, 0, 8, 8, palette, data), GBM_ERR_BAD_SIZE);
    EXPECT_EQ(writeImage(path, 8, -1, 8, palette, data), GBM_ERR_BAD_SIZE);
    EXPECT_EQ(writeImage(path, 16385, 1, 8, palette, data), GBM_ERR_BAD_SIZE);

    GBM header{};
    header.w = header.h = 8;
    header.bpp = 8;
    int fd = gbm_io_create(path.c_str(), GBM_O_WRONLY);
    ASSERT_NE(fd, -1);
    EXPECT_EQ(gbm_write(path.c_str(), fd, 7, &header, palette.data(), data.data(), ""),
              GBM_ERR_BAD_FT);
    EXPECT_EQ(gbm_write(path.c_str(), fd, GBM_FT_GIF, &header, nullptr, data.data(), ""),
              GBM_ERR_BAD_ARG);
    gbm_io_close(fd);

    ASSERT_EQ(writeImage(path, 8, 8, 8, palette, data), GBM_ERR_OK);
    const std::vector<uint8_t> bytes = readBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");
    EXPECT_EQ(bytes.back(), 0x3b);

    // A file opened for reading cannot take the picture; neither can a full disk.
    ASSERT_EQ(writeImage(path, 8, 8, 8, palette, data), GBM_ERR_OK);
    fd = gbm_io_open(path.c_str(), GBM_O_RDONLY);
    EXPECT_EQ(gbm_write(path.c_str(), fd, GBM_FT_GIF, &header, palette.data(), data.data(), ""),
              GBM_ERR_WRITE);
    gbm_io_close(fd);
    fd = gbm_io_create("/dev/full", GBM_O_WRONLY);
    if (fd != -1) {
        // A picture larger than the stream's buffer, so that writes reach the device.
        header.w = 640;
        header.h = 64;
        const std::vector<uint8_t> large(640 * 64, 7);
        EXPECT_EQ(gbm_write("/dev/full", fd, GBM_FT_GIF, &header, palette.data(), large.data(), ""),
                  GBM_ERR_WRITE);
        gbm_io_close(fd);
    }
}

TEST(GbmRead, ColourTablesGiveBitsPerPixelAndAFullPalette) {
    // Table sizes 2 .. 256 map to 1, 4, 4, 4, 8, 8, 8, 8 bits per pixel; the palette has the
    // table's colours and zeros after them; local tables win over the global one.
    const int expectedBpp[9] = {0, 1, 4, 4, 4, 8, 8, 8, 8};
    for (int bits = 1; bits <= 8; ++bits)
        for (bool local : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (local ? " local" : " global"));
            GifBuilder g;
            g.screen("GIF89a", 5, 3, local ? 8 : bits);
            g.descriptor(0, 0, 5, 3, false, local ? bits : 0);
            std::vector<uint8_t> px(15);
            for (int i = 0; i < 15; ++i) px[i] = (uint8_t)(i % (1 << bits));
            g.data(bits < 2 ? 2 : bits, px);
            g.trailer();
            const Image img = readBytesAsImage(g.bytes);
            ASSERT_EQ(img.rc, GBM_ERR_OK);
            EXPECT_EQ(img.bpp, expectedBpp[bits]);
            const int entries = 1 << bits;
            for (int i = 0; i < 256; ++i) {
                const GBMRGB want =
                    i < entries ? GBMRGB{(uint8_t)(i * 3), (uint8_t)(i * 5 + 1), (uint8_t)(255 - i)}
                                : GBMRGB{0, 0, 0};
                ASSERT_TRUE(img.palette[i].r == want.r && img.palette[i].g == want.g &&
                            img.palette[i].b == want.b)
                    << "entry " << i;
            }
            for (int i = 0; i < 15; ++i) EXPECT_EQ(img.pixel(i % 5, i / 5), px[i]);
        }
}

TEST(GbmRead, InterlacedExtensionsAndLaterImages) {
    // Extensions before the image are skipped, rows come back in picture order, and only the
    // first image counts.
    const int w = 6, h = 19;
    const std::vector<uint8_t> px = randomPixels(w, h, 256, 3);
    GifBuilder g;
    g.screen("GIF89a", w, h, 8);
    g.extension(0xf9, {std::string("\x05\x00\x00\x07", 4)});
    g.extension(0xfe, {"made by our own tests", "in two blocks"});
    g.extension(0xff, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)});
    g.descriptor(0, 0, w, h, true, 0);
    std::vector<uint8_t> fileOrder;
    for (int y : interlacedRows(h))
        fileOrder.insert(fileOrder.end(), px.begin() + y * w, px.begin() + (y + 1) * w);
    g.data(8, fileOrder);
    g.descriptor(0, 0, w, h, false, 0);
    g.data(8, std::vector<uint8_t>((size_t)w * h, 9));
    g.trailer();
    const Image img = readBytesAsImage(g.bytes);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(img.pixel(x, y), px[(size_t)y * w + x]) << x << "," << y;
}

TEST(GbmRead, SmallImageLiesOnItsScreenOverTheBackground) {
    // A 3x2 image at (4, 1) on a 9x5 screen with background index 5: the picture is the
    // screen, the image at its place, the rest the background colour.
    GifBuilder g;
    g.screen("GIF87a", 9, 5, 4, 5);
    g.descriptor(4, 1, 3, 2, false, 0);
    g.data(4, {1, 2, 3, 4, 6, 7});
    g.trailer();
    Image img = readBytesAsImage(g.bytes);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    ASSERT_EQ(img.w, 9);
    ASSERT_EQ(img.h, 5);
    EXPECT_EQ(img.bpp, 4);
    const char* expected[5] = {"555555555", "555512355", "555546755", "555555555", "555555555"};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(img.pixel(x, y), expected[y][x] - '0') << x << "," << y;

    // An image that does not fit on its screen (here a screen of 0x0) stands alone.
    GifBuilder alone;
    alone.screen("GIF89a", 0, 0, 8, 5);
    alone.descriptor(30, 40, 3, 2, false, 0);
    alone.data(8, {1, 2, 3, 4, 6, 7});
    alone.trailer();
    img = readBytesAsImage(alone.bytes);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    EXPECT_EQ(img.w, 3);
    EXPECT_EQ(img.h, 2);
    EXPECT_EQ(img.pixel(0, 0), 1);
    EXPECT_EQ(img.pixel(2, 1), 7);
}

TEST(GbmRead, IndicesBeyondTheDepthAndMissingTables) {
    // A 2-colour table with pixel values 2 and 3 (the code size allows them): they cannot be
    // kept in 1 bit and become 0.
    GifBuilder g;
    g.screen("GIF89a", 4, 1, 1);
    g.descriptor(0, 0, 4, 1, false, 0);
    g.data(2, {1, 2, 3, 1});
    g.trailer();
    Image img = readBytesAsImage(g.bytes);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    EXPECT_EQ(img.pixel(0, 0), 1);
    EXPECT_EQ(img.pixel(1, 0), 0);
    EXPECT_EQ(img.pixel(2, 0), 0);
    EXPECT_EQ(img.pixel(3, 0), 1);

    // No colour table at all: 8 bits per pixel shown as grey.
    GifBuilder grey;
    grey.screen("GIF87a", 2, 1, 0);
    grey.descriptor(0, 0, 2, 1, false, 0);
    grey.data(8, {17, 200});
    grey.trailer();
    img = readBytesAsImage(grey.bytes);
    ASSERT_EQ(img.rc, GBM_ERR_OK);
    EXPECT_EQ(img.bpp, 8);
    EXPECT_EQ(img.pixel(1, 0), 200);
    EXPECT_EQ(img.palette[200].r, 200);
    EXPECT_EQ(img.palette[200].b, 200);
}

TEST(GbmRead, BrokenFilesGiveErrors) {
    auto build = [](const char* version, int w, int h) {
        GifBuilder g;
        g.screen(version, w, h, 8);
        g.descriptor(0, 0, w, h, false, 0);
        return g;
    };
    GBM header;
    // Not a GIF, no image, an unknown block, a bad code size.
    EXPECT_EQ(readHeaderOf({'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0}, header),
              GBM_ERR_BAD_MAGIC);
    EXPECT_EQ(readHeaderOf({}, header), GBM_ERR_BAD_MAGIC);
    GifBuilder empty;
    empty.screen("GIF89a", 4, 4, 1);
    empty.extension(0xfe, {"no picture here"});
    empty.trailer();
    EXPECT_EQ(readHeaderOf(empty.bytes, header), GBM_ERR_NO_IMAGE);
    GifBuilder unknown;
    unknown.screen("GIF89a", 4, 4, 1);
    unknown.u8(0x42);
    EXPECT_EQ(readHeaderOf(unknown.bytes, header), GBM_ERR_CORRUPT);
    GifBuilder codeSize = build("GIF89a", 2, 2);
    codeSize.u8(12);
    EXPECT_EQ(readHeaderOf(codeSize.bytes, header), GBM_ERR_CORRUPT);

    // Compressed data: a code that is not yet defined, an end code before the last pixel,
    // data that stops before the image is complete.
    GifBuilder undefinedCode = build("GIF87a", 3, 1);
    undefinedCode.u8(2);
    undefinedCode.u8(2);
    undefinedCode.u8(0xcc); // 3-bit codes: clear (4), 1, then 7 while 6 is the next to define
    undefinedCode.u8(0x01);
    undefinedCode.u8(0);
    EXPECT_EQ(readBytesAsImage(undefinedCode.bytes).rc, GBM_ERR_CORRUPT);
    GifBuilder earlyEnd = build("GIF87a", 4, 4);
    std::vector<uint8_t> few(7, 1);
    earlyEnd.data(8, few); // ends with the end code after 7 of 16 pixels
    EXPECT_EQ(readBytesAsImage(earlyEnd.bytes).rc, GBM_ERR_CORRUPT);
    GifBuilder noEnd = build("GIF87a", 4, 4);
    noEnd.data(8, few, false);
    EXPECT_EQ(readBytesAsImage(noEnd.bytes).rc, GBM_ERR_CORRUPT);
}

TEST(GbmRead, EveryTruncationOfAFileIsAnError) {
    const std::string path = tempPath("whole.gif");
    ASSERT_EQ(writeImage(path, 37, 23, 8, rampPalette(256),
                         pack(37, 23, 8, randomPixels(37, 23, 256, 5)), "interlace"),
              GBM_ERR_OK);
    const std::vector<uint8_t> whole = readBytes(path);
    ASSERT_GT(whole.size(), 800u);
    // A cut file gives an error, except where only the end code, the terminator and the
    // trailer are missing: then the picture is complete and must be the whole picture.
    const Image full = readImage(path);
    ASSERT_EQ(full.rc, GBM_ERR_OK);
    int complete = 0;
    for (size_t n = 0; n < whole.size(); ++n) {
        const Image img =
            readBytesAsImage(std::vector<uint8_t>(whole.begin(), whole.begin() + (long)n));
        if (img.rc == GBM_ERR_OK) {
            ++complete;
            ASSERT_TRUE(img.data == full.data) << "length " << n;
        }
    }
    EXPECT_GE(complete, 2);
    EXPECT_LE(complete, 4);
}

TEST(GbmRead, OversizeAndEmptyDimensionsAreRefusedByTheHeader) {
    GBM header;
    auto withSize = [](int sw, int sh, int w, int h) {
        GifBuilder g;
        g.screen("GIF89a", sw, sh, 8);
        g.descriptor(0, 0, w, h, false, 0);
        g.u8(8);
        return g.bytes;
    };
    EXPECT_EQ(readHeaderOf(withSize(16385, 2, 16385, 2), header), GBM_ERR_BAD_SIZE);
    EXPECT_EQ(readHeaderOf(withSize(2, 65535, 2, 65535), header), GBM_ERR_BAD_SIZE);
    EXPECT_EQ(readHeaderOf(withSize(65535, 65535, 1, 1), header), GBM_ERR_BAD_SIZE);
    EXPECT_EQ(readHeaderOf(withSize(0, 0, 20000, 1), header), GBM_ERR_BAD_SIZE);
    EXPECT_EQ(readHeaderOf(withSize(10, 10, 0, 5), header), GBM_ERR_BAD_SIZE);
    ASSERT_EQ(readHeaderOf(withSize(16384, 16384, 16384, 16384), header), GBM_ERR_OK);
    EXPECT_EQ(header.w, 16384);
    EXPECT_EQ(header.h, 16384);
}

TEST(GbmThreads, PicturesReadAndWrittenOnSeveralThreadsAtOnce) {
    // The loader thread reads pictures while the frame thread writes screen shots.
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &failures] {
            const std::string path = tempPath("thread_" + std::to_string(t) + ".gif");
            for (int i = 0; i < 20; ++i) {
                const std::vector<uint8_t> data =
                    pack(64, 48, 8, randomPixels(64, 48, 256, (uint32_t)(t * 100 + i)));
                if (writeImage(path, 64, 48, 8, rampPalette(256), data) != GBM_ERR_OK) ++failures;
                const Image img = readImage(path);
                if (img.rc != GBM_ERR_OK || img.data != data) ++failures;
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(GbmPictures, OurPicturesAre256ColourGifsOfSensibleSize) {
    const std::string dir = std::string(QUORBEL_SOURCE_DIR) + "/data/pics/";
    const char* names[] = {"plasma.gif", "landscape.gif", "rings.gif",
                           "spiral.gif", "fractal.gif",   "quorbel_logo.gif"};
    int notFrameSized = 0;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const Image img = readImage(dir + name);
        ASSERT_EQ(img.rc, GBM_ERR_OK);
        EXPECT_EQ(img.bpp, 8);
        EXPECT_LT(readBytes(dir + name).size(), 300u * 1024);
        notFrameSized += !(img.w == 640 && img.h == 480);
    }
    EXPECT_GE(notFrameSized, 1);
    const Image sixteen =
        readImage(std::string(QUORBEL_SOURCE_DIR) + "/tests/data/sixteen_colours.gif");
    ASSERT_EQ(sixteen.rc, GBM_ERR_OK);
    EXPECT_EQ(sixteen.bpp, 4);
}
