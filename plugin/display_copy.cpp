#include "display_copy.h"

#include "instance.h"
#include "pixel_format.h"

#include <cstddef>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "the frame copy packs pixels into little-endian words"
#endif

PixelFormat pixelFormat;

namespace {

// Pixel depths: how an index becomes a pixel and how four pixels are stored in memory order.
struct Depth8 {
    static constexpr int kBytes = 1;
    static uint32_t pixel(const PaletteBlock&, uint8_t index) { return index; }
    static void store(uint8_t* out, uint32_t value) { *out = static_cast<uint8_t>(value); }
    static void store4(uint8_t* out, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        const uint32_t word = a | (b << 8) | (c << 16) | (d << 24);
        std::memcpy(out, &word, 4);
    }
};

struct Depth16 {
    static constexpr int kBytes = 2;
    static uint32_t pixel(const PaletteBlock& palette, uint8_t index) {
        return palette.pixels16[index];
    }
    static void store(uint8_t* out, uint32_t value) {
        const uint16_t word = static_cast<uint16_t>(value);
        std::memcpy(out, &word, 2);
    }
    static void store4(uint8_t* out, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        const uint64_t word =
            uint64_t(a) | (uint64_t(b) << 16) | (uint64_t(c) << 32) | (uint64_t(d) << 48);
        std::memcpy(out, &word, 8);
    }
};

struct Depth24 {
    static constexpr int kBytes = 3;
    static uint32_t pixel(const PaletteBlock& palette, uint8_t index) {
        return palette.pixels32[index] & 0xFFFFFFu;
    }
    static void store(uint8_t* out, uint32_t value) {
        out[0] = static_cast<uint8_t>(value);
        out[1] = static_cast<uint8_t>(value >> 8);
        out[2] = static_cast<uint8_t>(value >> 16);
    }
    static void store4(uint8_t* out, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        const uint64_t low = uint64_t(a) | (uint64_t(b) << 24) | (uint64_t(c) << 48);
        const uint32_t high = (c >> 16) | (d << 8);
        std::memcpy(out, &low, 8);
        std::memcpy(out + 8, &high, 4);
    }
};

// One destination row (and, with TwoRows, the same pixels into a second row) from source
// pixels src[0], src[1], ... in order.
template <class D, bool TwoRows>
void straightRow(const uint8_t* src, int width, uint8_t* rowA, uint8_t* rowB,
                 const PaletteBlock& palette) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const uint32_t p0 = D::pixel(palette, src[x]);
        const uint32_t p1 = D::pixel(palette, src[x + 1]);
        const uint32_t p2 = D::pixel(palette, src[x + 2]);
        const uint32_t p3 = D::pixel(palette, src[x + 3]);
        D::store4(rowA + x * D::kBytes, p0, p1, p2, p3);
        if (TwoRows) D::store4(rowB + x * D::kBytes, p0, p1, p2, p3);
    }
    for (; x < width; ++x) {
        const uint32_t p = D::pixel(palette, src[x]);
        D::store(rowA + x * D::kBytes, p);
        if (TwoRows) D::store(rowB + x * D::kBytes, p);
    }
}

// One destination row mirrored about its middle from every second source pixel: (k) and
// (width-1-k) both show src[2k]; the left copy runs rightwards, the right copy leftwards.
template <class D, bool TwoRows>
void mirroredRow(const uint8_t* src, int width, uint8_t* rowA, uint8_t* rowB,
                 const PaletteBlock& palette) {
    const int leftCount = (width + 1) / 2; // an odd width's middle pixel belongs to the left
    const int rightCount = width / 2;
    int k = 0;
    for (; k + 4 <= rightCount; k += 4) {
        const uint32_t p0 = D::pixel(palette, src[2 * k]);
        const uint32_t p1 = D::pixel(palette, src[2 * k + 2]);
        const uint32_t p2 = D::pixel(palette, src[2 * k + 4]);
        const uint32_t p3 = D::pixel(palette, src[2 * k + 6]);
        const int right = (width - 4 - k) * D::kBytes;
        D::store4(rowA + k * D::kBytes, p0, p1, p2, p3);
        D::store4(rowA + right, p3, p2, p1, p0);
        if (TwoRows) {
            D::store4(rowB + k * D::kBytes, p0, p1, p2, p3);
            D::store4(rowB + right, p3, p2, p1, p0);
        }
    }
    for (; k < leftCount; ++k) {
        const uint32_t p = D::pixel(palette, src[2 * k]);
        D::store(rowA + k * D::kBytes, p);
        if (TwoRows) D::store(rowB + k * D::kBytes, p);
        if (k < rightCount) {
            D::store(rowA + (width - 1 - k) * D::kBytes, p);
            if (TwoRows) D::store(rowB + (width - 1 - k) * D::kBytes, p);
        }
    }
}

inline uint8_t* rowAt(uint8_t* destination, long pitch, int y) {
    return destination + static_cast<ptrdiff_t>(y) * pitch;
}

template <class D>
void copyWithDepth(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
                   long pitch, const PaletteBlock& palette) {
    const size_t stride = static_cast<size_t>(width);
    switch (display) {
    case kDisplayKaleidoscope:
        for (int r = 0; r < (height + 1) / 2; ++r) {
            const uint8_t* src = frame + 2 * r * stride;
            uint8_t* top = rowAt(destination, pitch, r);
            if (r < height / 2)
                mirroredRow<D, true>(src, width, top, rowAt(destination, pitch, height - 1 - r),
                                     palette);
            else
                mirroredRow<D, false>(src, width, top, nullptr, palette);
        }
        break;
    case kDisplayWeidth:
        for (int r = 0; r < (height + 1) / 2; ++r) {
            const uint8_t* src = frame + 2 * r * stride;
            uint8_t* top = rowAt(destination, pitch, r);
            if (r < height / 2)
                straightRow<D, true>(src, width, top, rowAt(destination, pitch, height - 1 - r),
                                     palette);
            else
                straightRow<D, false>(src, width, top, nullptr, palette);
        }
        break;
    case kDisplayHeight:
        for (int y = 0; y < height; ++y)
            mirroredRow<D, false>(frame + y * stride, width, rowAt(destination, pitch, y), nullptr,
                                  palette);
        break;
    default:
        for (int y = 0; y < height; ++y)
            straightRow<D, false>(frame + y * stride, width, rowAt(destination, pitch, y), nullptr,
                                  palette);
        break;
    }
}

// 8 bits per pixel needs no conversion: the straight displays are plain row copies.
void copy8(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
           long pitch, const PaletteBlock& palette) {
    const size_t stride = static_cast<size_t>(width);
    switch (display) {
    case kDisplayNormal:
        for (int y = 0; y < height; ++y)
            std::memcpy(rowAt(destination, pitch, y), frame + y * stride, stride);
        break;
    case kDisplayWeidth:
        for (int r = 0; r < (height + 1) / 2; ++r) {
            const uint8_t* src = frame + 2 * r * stride;
            std::memcpy(rowAt(destination, pitch, r), src, stride);
            if (r < height / 2) std::memcpy(rowAt(destination, pitch, height - 1 - r), src, stride);
        }
        break;
    default:
        copyWithDepth<Depth8>(frame, width, height, display, destination, pitch, palette);
        break;
    }
}

} // namespace

void copyFrame(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
               long pitch, int pixelDepth, const PaletteBlock& palette) {
    if (!frame || !destination || width <= 0 || height <= 0) return;
    if (display < 0 || display >= 4) display = kDisplayNormal;
    switch (pixelDepth) {
    case 8:
        copy8(frame, width, height, display, destination, pitch, palette);
        break;
    case 16:
        copyWithDepth<Depth16>(frame, width, height, display, destination, pitch, palette);
        break;
    case 24:
        copyWithDepth<Depth24>(frame, width, height, display, destination, pitch, palette);
        break;
    default:
        break;
    }
}

void copyCurrentFrame(uint8_t* destination, long pitch) {
    if (plugin.currentDisplay < 0 || plugin.currentDisplay > 3) plugin.currentDisplay = 0;
    copyFrame(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight, plugin.currentDisplay,
              destination, pitch, pixelFormat.pixelDepth, *currentPaletteEntries);
}
