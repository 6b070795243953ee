#include "cpu_shapes.h"
#include "frame/display_copy.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "media/pixel_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kUntouched = 0xCD;

// Pixel values that differ for every index and in every byte, with a top byte in pixels32 that
// a 24-bit copy must drop.
PaletteBlock distinctPalette() {
    PaletteBlock block = {};
    for (int i = 0; i < kPaletteColours; ++i) {
        block.pixels16[i] =
            static_cast<uint16_t>(0x8000 | (i << 4) | (i & 0xF) | ((i * 7) & 0x700));
        block.pixels32[i] =
            0xAB000000u | (uint32_t(255 - i) << 16) | (uint32_t(i ^ 0x5A) << 8) | uint32_t(i);
    }
    return block;
}

std::vector<uint8_t> randomFrame(int width, int height, uint32_t seed) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * (height + 2));
    for (uint8_t& v : frame) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<uint8_t>(seed >> 16);
    }
    return frame;
}

// The source pixel that destination (x, y) shows, straight from the display function's rule.
void sourceOf(int display, int width, int height, int x, int y, int& sx, int& sy) {
    const int mirroredX = x < (width + 1) / 2 ? x : width - 1 - x;
    const int mirroredY = y < (height + 1) / 2 ? y : height - 1 - y;
    switch (display) {
    case 1:
        sx = 2 * mirroredX, sy = 2 * mirroredY;
        break;
    case 2:
        sx = x, sy = 2 * mirroredY;
        break;
    case 3:
        sx = 2 * mirroredX, sy = y;
        break;
    default:
        sx = x, sy = y;
        break;
    }
}

// The bytes depth writes for index v.
std::vector<uint8_t> bytesFor(int depth, const PaletteBlock& palette, uint8_t v) {
    if (depth == 8) return {v};
    if (depth == 16) return {uint8_t(palette.pixels16[v]), uint8_t(palette.pixels16[v] >> 8)};
    const uint32_t p = palette.pixels32[v];
    if (depth == 32) return {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)};
    return {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16)};
}

struct Surface {
    int width, height, depth;
    long pitch;
    std::vector<uint8_t> bytes;
    Surface(int w, int h, int d, int extra)
        : width(w), height(h), depth(d), pitch(long(w) * (d / 8) + extra),
          bytes(static_cast<size_t>(pitch) * (h + 1), kUntouched) {}
    const uint8_t* at(int x, int y) const { return &bytes[y * pitch + x * (depth / 8)]; }
};

// Checks every destination pixel against the rule and that nothing outside the width x height
// area (the pitch padding, the row below) was written.
void expectCopy(const Surface& s, int display, const std::vector<uint8_t>& frame,
                const PaletteBlock& palette) {
    const int bpp = s.depth / 8;
    int wrong = 0;
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            int sx, sy;
            sourceOf(display, s.width, s.height, x, y, sx, sy);
            const auto expected = bytesFor(s.depth, palette, frame[sy * s.width + sx]);
            if (std::memcmp(s.at(x, y), expected.data(), bpp) != 0 && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") does not show (" << sx << ", "
                              << sy << ")";
        }
        for (long b = long(s.width) * bpp; b < s.pitch; ++b)
            if (s.bytes[y * s.pitch + b] != kUntouched && ++wrong <= 5)
                ADD_FAILURE() << "padding byte " << b << " of row " << y << " written";
    }
    for (long b = 0; b < s.pitch; ++b)
        if (s.bytes[s.height * s.pitch + b] != kUntouched && ++wrong <= 5)
            ADD_FAILURE() << "byte " << b << " below the frame written";
    EXPECT_EQ(wrong, 0);
}

} // namespace

// Every display function at every depth, on a destination whose rows are wider than the frame,
// with the loops of every processor shape this processor can honour (and the plain loops).
TEST(FrameCopy, EveryDisplayAndDepthShowsTheRightSourcePixelOnAWidePitch) {
    const PaletteBlock palette = distinctPalette();
    const int sizes[][2] = {{640, 480}, {640, 400}, {512, 384}, {320, 240}, {320, 200}, {160, 120},
                            {100, 6},   {67, 5},    {33, 3},    {31, 4},    {18, 2},    {17, 3},
                            {10, 6},    {9, 7},     {2, 2},     {1, 1}};
    bool first = true;
    for (const CpuShape& shape : distinctCpuShapes()) {
        const PretendedCpu pretended(shape.features);
        for (const auto& size : sizes)
            for (int depth : {8, 16, 24, 32})
                for (int display = 0; display < 4; ++display) {
                    SCOPED_TRACE(testing::Message()
                                 << frameCopyLoops(depth) << " loops (" << shape.name << ") "
                                 << size[0] << "x" << size[1] << " depth " << depth << " display "
                                 << display);
                    const auto frame = randomFrame(size[0], size[1], 7u * depth + display);
                    Surface surface(size[0], size[1], depth, 13 + depth / 8);
                    copyFrame(frame.data(), size[0], size[1], display, surface.bytes.data(),
                              surface.pitch, depth, palette);
                    expectCopy(surface, display, frame, palette);
                    if (!first) continue;
                    Surface generic(size[0], size[1], depth, 13 + depth / 8);
                    copyFrameGeneric(frame.data(), size[0], size[1], display, generic.bytes.data(),
                                     generic.pitch, depth, palette);
                    expectCopy(generic, display, frame, palette);
                }
        first = false;
    }
}

TEST(FrameCopy, KaleidoscopeReadsOnlyEvenRowsAndColumns) {
    const int w = 640, h = 480;
    std::vector<uint8_t> frame(static_cast<size_t>(w) * (h + 2));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) frame[y * w + x] = (x % 2 || y % 2) ? 1 : 2;
    Surface surface(w, h, 8, 32);
    copyFrame(frame.data(), w, h, kDisplayKaleidoscope, surface.bytes.data(), surface.pitch, 8,
              distinctPalette());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(*surface.at(x, y), 2) << x << ", " << y;
}

TEST(FrameCopy, WeidthShowsSourceRow478OnBothMiddleRows) {
    const int w = 640, h = 480;
    std::vector<uint8_t> frame(static_cast<size_t>(w) * (h + 2));
    for (int y = 0; y < h; ++y) std::memset(&frame[y * w], y == 478 ? 0xEE : y % 200, w);
    for (int depth : {8, 16, 24, 32}) {
        const PaletteBlock palette = distinctPalette();
        Surface surface(w, h, depth, 24);
        copyFrame(frame.data(), w, h, kDisplayWeidth, surface.bytes.data(), surface.pitch, depth,
                  palette);
        const auto expected = bytesFor(depth, palette, 0xEE);
        for (int y : {239, 240})
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(std::memcmp(surface.at(x, y), expected.data(), depth / 8), 0)
                    << "depth " << depth << " pixel " << x << ", " << y;
    }
}

TEST(FrameCopy, TwentyFourBitsWritesLowMiddleAndHighBytesInThatOrder) {
    PaletteBlock palette = {};
    palette.pixels32[5] = 0xFF332211u;
    const uint8_t frame[4] = {5, 5, 5, 5};
    uint8_t out[7];
    std::memset(out, kUntouched, sizeof out);
    copyFrame(frame, 2, 1, kDisplayNormal, out, 6, 24, palette);
    const uint8_t expected[7] = {0x11, 0x22, 0x33, 0x11, 0x22, 0x33, kUntouched};
    EXPECT_EQ(std::memcmp(out, expected, sizeof out), 0);
}

// A 32-bit desktop's pixels come out of the palette file's colours in the desktop's channel
// order, the unused top byte clear.
TEST(FrameCopy, ThirtyTwoBitsShowsThePaletteColoursInTheDesktopsChannelOrder) {
    PaletteBlock palette = {};
    palette.entries[7] = {0x12, 0x34, 0x56, 0};
    PixelFormat format;
    ASSERT_TRUE(acceptDesktopFormat(32, 0xFF0000, 0xFF00, 0xFF, format));
    computePixelForms(palette, format);
    const uint8_t frame[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    uint8_t out[9 * 4 + 4];
    std::memset(out, kUntouched, sizeof out);
    copyFrame(frame, 9, 1, kDisplayHeight, out, 9 * 4, 32, palette);
    for (int x = 0; x < 9; ++x) {
        const uint8_t expected[4] = {0x56, 0x34, 0x12, 0};
        EXPECT_EQ(std::memcmp(out + 4 * x, expected, 4), 0) << "pixel " << x;
    }
    EXPECT_EQ(out[36], kUntouched);
}

TEST(DesktopFormat, WindowedModeTakesEightSixteenTwentyFourAndThirtyTwoBits) {
    PixelFormat format;
    EXPECT_TRUE(acceptDesktopFormat(8, 0, 0, 0, format));
    EXPECT_EQ(format.pixelDepth, 8);
    EXPECT_TRUE(acceptDesktopFormat(16, 0xF800, 0x07E0, 0x001F, format));
    EXPECT_EQ(format.redBits, 5);
    EXPECT_EQ(format.greenBits, 6);
    EXPECT_EQ(format.blueBits, 5);
    EXPECT_TRUE(acceptDesktopFormat(24, 0xFF0000, 0xFF00, 0xFF, format));
    EXPECT_TRUE(acceptDesktopFormat(32, 0xFF, 0xFF00, 0xFF0000, format));
    EXPECT_EQ(format.redMask, 0xFFu); // a desktop in blue-green-red order keeps its masks
    EXPECT_EQ(format.blueMask, 0xFF0000u);
    // No masks reported: the usual layout, red highest.
    EXPECT_TRUE(acceptDesktopFormat(32, 0, 0, 0, format));
    EXPECT_EQ(format.redMask, 0xFF0000u);
    EXPECT_EQ(format.greenMask, 0xFF00u);
    EXPECT_EQ(format.blueMask, 0xFFu);
    EXPECT_EQ(format.redBits + format.greenBits + format.blueBits, 24);
    for (int depth : {0, 1, 4, 15, 48}) {
        EXPECT_FALSE(acceptDesktopFormat(depth, 0x7C00, 0x03E0, 0x1F, format)) << depth;
        EXPECT_EQ(format.pixelDepth, depth); // the frame copy then writes nothing
    }
}

TEST(FrameCopy, DisplayOutsideTheTableIsNormal) {
    const PaletteBlock palette = distinctPalette();
    const auto frame = randomFrame(32, 8, 3);
    for (int display : {-1, 4, 99}) {
        Surface surface(32, 8, 16, 6);
        copyFrame(frame.data(), 32, 8, display, surface.bytes.data(), surface.pitch, 16, palette);
        expectCopy(surface, kDisplayNormal, frame, palette);
    }
}

TEST(FrameCopy, OtherDepthsAndEmptyFramesWriteNothing) {
    const PaletteBlock palette = distinctPalette();
    const auto frame = randomFrame(16, 4, 9);
    for (int depth : {0, 1, 4, 15, 31, 64}) {
        std::vector<uint8_t> out(16 * 4 * 4, kUntouched);
        copyFrame(frame.data(), 16, 4, kDisplayNormal, out.data(), 64, depth, palette);
        EXPECT_EQ(out, std::vector<uint8_t>(out.size(), kUntouched)) << depth;
    }
    std::vector<uint8_t> out(64, kUntouched);
    copyFrame(frame.data(), 0, 4, kDisplayNormal, out.data(), 16, 8, palette);
    copyFrame(frame.data(), 16, -1, kDisplayNormal, out.data(), 16, 8, palette);
    copyFrame(nullptr, 16, 4, kDisplayNormal, out.data(), 16, 8, palette);
    copyFrame(frame.data(), 16, 4, kDisplayNormal, nullptr, 16, 8, palette);
    EXPECT_EQ(out, std::vector<uint8_t>(out.size(), kUntouched));
}

TEST(FrameCopy, CurrentFrameUsesThePluginStateAndCorrectsTheDisplay) {
    const int w = 64, h = 8;
    auto frame = randomFrame(w, h, 21);
    PaletteBlock palette = distinctPalette();
    uint8_t* const savedBuffer = plugin.currentBuffer;
    const int savedWidth = plugin.frameWidth, savedHeight = plugin.frameHeight;
    const PaletteBlock* const savedEntries = currentPaletteEntries;
    const PixelFormat savedFormat = pixelFormat;

    plugin.currentBuffer = frame.data();
    plugin.frameWidth = w;
    plugin.frameHeight = h;
    plugin.currentDisplay = 7;
    currentPaletteEntries = &palette;
    pixelFormat = makePixelFormat(24, 0xFF0000, 0xFF00, 0xFF);
    Surface surface(w, h, 24, 8);
    copyCurrentFrame(surface.bytes.data(), surface.pitch);
    EXPECT_EQ(plugin.currentDisplay, 0);
    expectCopy(surface, kDisplayNormal, frame, palette);

    plugin.currentDisplay = kDisplayHeight;
    Surface mirrored(w, h, 24, 8);
    copyCurrentFrame(mirrored.bytes.data(), mirrored.pitch);
    expectCopy(mirrored, kDisplayHeight, frame, palette);

    plugin.currentBuffer = savedBuffer;
    plugin.frameWidth = savedWidth;
    plugin.frameHeight = savedHeight;
    plugin.currentDisplay = 0;
    currentPaletteEntries = savedEntries;
    pixelFormat = savedFormat;
}

namespace {

// The scaled copy shows each pixel of the plain copy as a scale x scale block, writes the whole
// scaled area and nothing beside or below it, at every depth and display.
void expectScaledCopiesRepeatThePlainCopy() {
    const PaletteBlock palette = distinctPalette();
    const int sizes[][2] = {{640, 480}, {320, 200}, {67, 5}, {17, 3}, {9, 7}, {2, 2}, {1, 1}};
    for (const auto& size : sizes)
        for (int scale = 1; scale <= 4; ++scale)
            for (int depth : {8, 16, 24, 32})
                for (int display = 0; display < 4; ++display) {
                    if (size[0] == 640 && scale > 2) continue; // big enough at x1 and x2
                    SCOPED_TRACE(testing::Message()
                                 << frameCopyLoops(depth) << " loops " << size[0] << "x" << size[1]
                                 << " x" << scale << " depth " << depth << " display " << display);
                    const auto frame = randomFrame(size[0], size[1], 11u * depth + display);
                    Surface plain(size[0], size[1], depth, 0);
                    copyFrame(frame.data(), size[0], size[1], display, plain.bytes.data(),
                              plain.pitch, depth, palette);
                    Surface scaled(size[0] * scale, size[1] * scale, depth, 5 + depth / 8);
                    copyFrameScaled(frame.data(), size[0], size[1], display, scaled.bytes.data(),
                                    scaled.pitch, depth, palette, scale);
                    const int bpp = depth / 8;
                    int wrong = 0;
                    for (int y = 0; y < scaled.height; ++y) {
                        for (int x = 0; x < scaled.width; ++x)
                            if (std::memcmp(scaled.at(x, y), plain.at(x / scale, y / scale), bpp) !=
                                    0 &&
                                ++wrong <= 5)
                                ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
                        for (long b = long(scaled.width) * bpp; b < scaled.pitch; ++b)
                            if (scaled.bytes[y * scaled.pitch + b] != kUntouched && ++wrong <= 5)
                                ADD_FAILURE() << "padding byte " << b << " of row " << y;
                    }
                    for (long b = 0; b < scaled.pitch; ++b)
                        if (scaled.bytes[scaled.height * scaled.pitch + b] != kUntouched &&
                            ++wrong <= 5)
                            ADD_FAILURE() << "byte " << b << " below the area";
                    EXPECT_EQ(wrong, 0);
                }
}

} // namespace

// With the widest loops and with none (the rows widened in place differ between them).
TEST(FrameCopy, ScaledCopyRepeatsEveryPixelOfThePlainCopyAsABlock) {
    for (const CpuFeatures shape : {kCpuAllFeatures, CpuFeatures(0)}) {
        const PretendedCpu pretended(shape);
        expectScaledCopiesRepeatThePlainCopy();
    }
}

TEST(FrameCopy, ScaledCopyWithoutAScaleOrADepthWritesNothing) {
    const PaletteBlock palette = distinctPalette();
    const auto frame = randomFrame(8, 4, 3);
    for (int scale : {0, -1})
        for (int depth : {8, 32}) {
            Surface surface(16, 8, depth, 0);
            copyFrameScaled(frame.data(), 8, 4, 0, surface.bytes.data(), surface.pitch, depth,
                            palette, scale);
            for (uint8_t b : surface.bytes) ASSERT_EQ(b, kUntouched);
        }
    Surface surface(16, 8, 32, 0);
    copyFrameScaled(frame.data(), 8, 4, 0, surface.bytes.data(), surface.pitch, 15, palette, 2);
    for (uint8_t b : surface.bytes) ASSERT_EQ(b, kUntouched);
}
