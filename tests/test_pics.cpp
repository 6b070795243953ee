#include "base/frame_steps.h"
#include "gbm.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "media/pics.h"
#include "base/settings.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
// Writes a GIF whose pixel (x, y) has colour index value(x, y); top row first in `value`.
template <class Value>
void writeGif(const std::string& path, int width, int height, int bpp, Value value) {
    GBM header = {};
    header.w = width;
    header.h = height;
    header.bpp = bpp;
    GBMRGB colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
    const long pitch = (static_cast<long>(width) * bpp + 31) / 32 * 4;
    std::vector<uint8_t> data(pitch * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* row = &data[(height - 1 - y) * pitch];
            const int v = value(x, y);
            if (bpp == 8)
                row[x] = uint8_t(v);
            else
                row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4));
        }
    const int file = gbm_io_create(path.c_str(), GBM_O_WRONLY | GBM_O_BINARY);
    ASSERT_NE(file, -1);
    ASSERT_EQ(gbm_write(path.c_str(), file, GBM_FT_GIF, &header, colours, data.data(), ""), 0);
    gbm_io_close(file);
}

class PicturesTest : public ::testing::Test {
  protected:
    HostFolder folder{"pics"}; // named after the running test as well
    std::string pics = folder.sub("pics");
    void SetUp() override {
        settings = Settings();
        settings.Resolution = 0;
        applyResolution();
        currentPicture = 0;
        gbm_init();
    }
    void TearDown() override {
        shutDownPictures();
        gbm_deinit();
    }
};
} // namespace

TEST(PictureScaling, TakesColumnsAndRowsByIntegerDivision) {
    const int sw = 1000, sh = 800;
    std::vector<uint8_t> source(sw * sh);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) source[y * sw + x] = uint8_t((x * 7 + y * 13) % 251);
    std::vector<uint8_t> out(640 * 480);
    ASSERT_TRUE(scalePicture(source.data(), sw, sh, sw, out.data(), 640, 480));
    for (int j = 0; j < 480; j += 37)
        for (int i = 0; i < 640; i += 29)
            ASSERT_EQ(out[j * 640 + i], source[(j * sh / 480) * sw + i * sw / 640])
                << i << "," << j;
    EXPECT_EQ(out[479 * 640 + 639], source[(479 * sh / 480) * sw + 639 * sw / 640]);
}

TEST(PictureScaling, SameWidthCopiesRowsAndPaddingIsSkipped) {
    const int sw = 320, sh = 100;
    const long pitch = 324;
    std::vector<uint8_t> source(pitch * sh, 0xEE);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) source[y * pitch + x] = uint8_t(y);
    std::vector<uint8_t> out(320 * 200);
    ASSERT_TRUE(scalePicture(source.data(), sw, sh, pitch, out.data(), 320, 200));
    for (int j = 0; j < 200; ++j)
        ASSERT_EQ(std::memcmp(&out[j * 320], &source[(j / 2) * pitch], 320), 0) << j;
}

TEST_F(PicturesTest, APictureIsReadTopRowFirstAtTheFrameSize) {
    writeGif(pics + "a.gif", 1000, 800, 8, [](int x, int y) { return (x / 100) * 10 + y / 100; });
    listPictures();
    ASSERT_EQ(pictureCount, 1);
    uint8_t* target = nullptr;
    ASSERT_TRUE(loadPicture(target, 1));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target[0], 0);                        // top-left of the file
    EXPECT_EQ(target[639], 90);                     // top-right
    EXPECT_EQ(target[479 * 640], 7);                // bottom-left
    EXPECT_EQ(target[200 * 640 + 320], 5 * 10 + 3); // source (500, 333)
    std::free(target);
}

TEST_F(PicturesTest, SixteenColourPicturesAreNeverShown) {
    writeGif(pics + "few.gif", 64, 64, 4, [](int x, int) { return x % 16; });
    listPictures();
    currentPicture = 1;
    uint8_t* target = nullptr;
    EXPECT_FALSE(loadPicture(target, 1));
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(currentPicture, 0);
}

TEST_F(PicturesTest, TheSettingPicksTheFirstPictureAndLoadAllReadsThemAll) {
    for (const char* name : {"one.gif", "two.gif", "three.gif"})
        writeGif(pics + name, 320, 240, 8, [](int, int) { return 9; });
    std::snprintf(settings.Picture, sizeof settings.Picture, "two.gif");
    settings.Load_All_Pics = 1;
    listPictures();
    EXPECT_STREQ(pictureNames[currentPicture], "two.gif");
    std::vector<int> positions;
    loadAllPictures([](int p, void* c) { static_cast<std::vector<int>*>(c)->push_back(p); },
                    &positions);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3}));
    for (int i = 1; i <= 3; ++i) ASSERT_NE(loadedPictures[i], nullptr);
}

TEST_F(PicturesTest, TheLoaderPreparesThePictureForTheEvent) {
    writeGif(pics + "p.gif", 640, 480, 8, [](int x, int) { return x % 200 + 1; });
    settings.Set_Pic_Palette = 1;
    listPictures();
    currentPicture = 1;
    std::vector<uint8_t> frame(640 * 482, 0);
    plugin.currentBuffer = frame.data();
    startPictures();
    ASSERT_TRUE(waitForLoader(pictureLoader, 60000));
    ASSERT_TRUE(runPictureEvent());
    EXPECT_EQ(frame[5], 6);
    EXPECT_EQ(currentPaletteEntries->entries[6].red, 6); // the picture's own colours
    EXPECT_EQ(currentPicture, 1);                        // the only picture comes next
    waitForLoader(pictureLoader, 60000);
    plugin.currentBuffer = nullptr;
}

TEST_F(PicturesTest, APictureWithItsColoursOnScreenAtQuitLeavesThemValid) {
    writeGif(pics + "p.gif", 320, 240, 8, [](int, int) { return 6; });
    settings.Load_All_Pics = 1;
    settings.Set_Pic_Palette = 1;
    listPictures();
    currentPicture = 1;
    loadAllPictures(nullptr, nullptr);
    std::vector<uint8_t> frame(640 * 482, 0);
    plugin.currentBuffer = frame.data();
    ASSERT_TRUE(runPictureEvent());
    const PaletteBlock* const loaded = loadedPicturePalettes[1];
    ASSERT_EQ(currentPaletteEntries, loaded);
    shutDownPictures(); // frees the loaded blocks
    // The next run shows these colours until its first palette change; they must not be read
    // from the freed block.
    EXPECT_NE(currentPaletteEntries, loaded);
    EXPECT_EQ(currentPaletteEntries->entries[6].red, 6);
    EXPECT_EQ(currentPaletteEntries->entries[6].green, 249);
    currentPaletteEntries = &sharedPalette;
    plugin.currentBuffer = nullptr;
}

TEST_F(PicturesTest, OnTheBackgroundOnlyBlackPixelsTakeThePicture) {
    writeGif(pics + "p.gif", 640, 480, 8, [](int, int) { return 77; });
    settings.Set_Pic_On_Background = 1;
    listPictures();
    currentPicture = 1;
    startPictures();
    ASSERT_TRUE(waitForLoader(pictureLoader, 60000));
    std::vector<uint8_t> frame(640 * 482, 0);
    frame[1] = 5;
    plugin.currentBuffer = frame.data();
    ASSERT_TRUE(runPictureEvent());
    EXPECT_EQ(frame[0], 77);
    EXPECT_EQ(frame[1], 5);
    waitForLoader(pictureLoader, 60000);
    plugin.currentBuffer = nullptr;
}

TEST_F(PicturesTest, WithoutPicturesTheEventRepeatsAndShowsNothing) {
    listPictures();
    std::vector<uint8_t> frame(640 * 482, 3);
    plugin.currentBuffer = frame.data();
    EXPECT_FALSE(runPictureEvent());
    EXPECT_FALSE(pictureLoaderBusy());
    EXPECT_EQ(frame[0], 3);
    plugin.currentBuffer = nullptr;
}

TEST_F(PicturesTest, ScreenShotsTakeTheLowestFreeNumberTopRowFirst) {
    settings.Resolution = 3; // 320 x 200
    applyResolution();
    for (int i = 0; i < 256; ++i) sharedPalette.entries[i] = {uint8_t(i), 0, uint8_t(255 - i), 0};
    std::vector<uint8_t> frame(320 * 202, 0);
    for (int x = 0; x < 320; ++x) frame[x] = 200; // top row
    for (const char* name : {"shot_0.gif", "shot_2.gif"}) {
        FILE* f = std::fopen((folder.path + name).c_str(), "wb");
        std::fclose(f);
    }
    saveScreenshot(frame.data());
    const std::string shot = folder.path + "shot_1.gif";
    ASSERT_TRUE(fileExists(shot));
    int type = 0;
    ASSERT_EQ(gbm_guess_filetype(shot.c_str(), &type), 0);
    const int file = gbm_io_open(shot.c_str(), GBM_O_RDONLY | GBM_O_BINARY);
    GBM header = {};
    GBMRGB colours[256];
    ASSERT_EQ(gbm_read_header(shot.c_str(), file, type, &header, ""), 0);
    EXPECT_EQ(header.w, 320);
    EXPECT_EQ(header.h, 200);
    ASSERT_EQ(gbm_read_palette(file, type, &header, colours), 0);
    std::vector<uint8_t> data(320 * 200);
    ASSERT_EQ(gbm_read_data(file, type, &header, data.data()), 0);
    gbm_io_close(file);
    EXPECT_EQ(data[199 * 320], 200); // gbm's last row is the frame's top row
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(colours[200].r, 200);
    EXPECT_EQ(colours[200].b, 55);
    EXPECT_EQ(frame[0], 200); // the frame itself is not flipped
}
