#include "display_copy.h"

#include "instance.h"
#include "pixel_format.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "the frame copy packs pixels into little-endian words"
#endif

PixelFormat pixelFormat;

namespace {

// Each depth converts four source indices at a time into a group of four pixels in memory
// order. The 16- and 24-bit converters look pixels up in tables that hold each pixel already
// shifted to its place in the group, built from the palette at the start of each copy (a few
// kilobytes, a small fraction of one frame's work), so that a pixel costs one look-up and one
// OR.

struct Convert8 {
    static constexpr int kBytes = 1;
    using Group = uint32_t;
    Group group(uint8_t a, uint8_t b, uint8_t c, uint8_t d) const {
        return uint32_t(a) | (uint32_t(b) << 8) | (uint32_t(c) << 16) | (uint32_t(d) << 24);
    }
    // The same four pixels in the opposite order.
    Group reversed(const Group& g, uint8_t, uint8_t, uint8_t, uint8_t) const {
        return (g >> 24) | ((g >> 8) & 0xFF00u) | ((g << 8) & 0xFF0000u) | (g << 24);
    }
    static void put(uint8_t* out, const Group& g) { std::memcpy(out, &g, 4); }
    void putOne(uint8_t* out, uint8_t index) const { *out = index; }
};

struct Convert16 {
    static constexpr int kBytes = 2;
    using Group = uint64_t;
    uint64_t shifted[4][256]; // pixel << 0, 16, 32, 48
    explicit Convert16(const PaletteBlock& palette) {
        for (int i = 0; i < kPaletteColours; ++i)
            for (int k = 0; k < 4; ++k) shifted[k][i] = uint64_t(palette.pixels16[i]) << (16 * k);
    }
    Group group(uint8_t a, uint8_t b, uint8_t c, uint8_t d) const {
        return shifted[0][a] | shifted[1][b] | shifted[2][c] | shifted[3][d];
    }
    Group reversed(const Group& g, uint8_t, uint8_t, uint8_t, uint8_t) const {
        const uint64_t halves = (g << 32) | (g >> 32);
        return ((halves & 0x0000FFFF0000FFFFull) << 16) | ((halves >> 16) & 0x0000FFFF0000FFFFull);
    }
    static void put(uint8_t* out, const Group& g) { std::memcpy(out, &g, 8); }
    void putOne(uint8_t* out, uint8_t index) const {
        const uint16_t pixel = static_cast<uint16_t>(shifted[0][index]);
        std::memcpy(out, &pixel, 2);
    }
};

// Four 3-byte pixels A B C D are 12 bytes: an 8-byte word A | B << 24 | C << 48 and a 4-byte
// word C >> 16 | D << 8.
struct Convert24 {
    static constexpr int kBytes = 3;
    struct Group {
        uint64_t low;
        uint32_t high;
    };
    uint64_t lowA[256], lowB[256], lowC[256];
    uint32_t highC[256], highD[256];
    explicit Convert24(const PaletteBlock& palette) {
        for (int i = 0; i < kPaletteColours; ++i) {
            const uint32_t p = palette.pixels32[i] & 0xFFFFFFu;
            lowA[i] = p;
            lowB[i] = uint64_t(p) << 24;
            lowC[i] = uint64_t(p) << 48;
            highC[i] = p >> 16;
            highD[i] = p << 8;
        }
    }
    Group group(uint8_t a, uint8_t b, uint8_t c, uint8_t d) const {
        return Group{lowA[a] | lowB[b] | lowC[c], highC[c] | highD[d]};
    }
    Group reversed(const Group&, uint8_t a, uint8_t b, uint8_t c, uint8_t d) const {
        return group(d, c, b, a);
    }
    static void put(uint8_t* out, const Group& g) {
        std::memcpy(out, &g.low, 8);
        std::memcpy(out + 8, &g.high, 4);
    }
    void putOne(uint8_t* out, uint8_t index) const {
        const uint32_t p = static_cast<uint32_t>(lowA[index]);
        out[0] = static_cast<uint8_t>(p);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p >> 16);
    }
};

// One destination row (and, with TwoRows, the same pixels into a second row) from source
// pixels src[0], src[1], ... in order.
template <class C, bool TwoRows>
void straightRow(const C& convert, const uint8_t* src, int width, uint8_t* rowA, uint8_t* rowB) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const typename C::Group g = convert.group(src[x], src[x + 1], src[x + 2], src[x + 3]);
        C::put(rowA + x * C::kBytes, g);
        if (TwoRows) C::put(rowB + x * C::kBytes, g);
    }
    for (; x < width; ++x) {
        convert.putOne(rowA + x * C::kBytes, src[x]);
        if (TwoRows) convert.putOne(rowB + x * C::kBytes, src[x]);
    }
}

// Destination pixels k (the left copy, running rightwards) and width-1-k (the right copy,
// running leftwards) both show src[2k]; pixels from k = start on.
template <class C, bool TwoRows>
void mirroredRowFrom(const C& convert, int start, const uint8_t* src, int width, uint8_t* rowA,
                     uint8_t* rowB) {
    const int leftCount = (width + 1) / 2; // an odd width's middle pixel belongs to the left
    const int rightCount = width / 2;
    int k = start;
    for (; k + 4 <= rightCount; k += 4) {
        const uint8_t i0 = src[2 * k], i1 = src[2 * k + 2], i2 = src[2 * k + 4],
                      i3 = src[2 * k + 6];
        const typename C::Group left = convert.group(i0, i1, i2, i3);
        const typename C::Group right = convert.reversed(left, i0, i1, i2, i3);
        const int rightOffset = (width - 4 - k) * C::kBytes;
        C::put(rowA + k * C::kBytes, left);
        C::put(rowA + rightOffset, right);
        if (TwoRows) {
            C::put(rowB + k * C::kBytes, left);
            C::put(rowB + rightOffset, right);
        }
    }
    for (; k < leftCount; ++k) {
        const uint8_t index = src[2 * k];
        convert.putOne(rowA + k * C::kBytes, index);
        if (TwoRows) convert.putOne(rowB + k * C::kBytes, index);
        if (k < rightCount) {
            convert.putOne(rowA + (width - 1 - k) * C::kBytes, index);
            if (TwoRows) convert.putOne(rowB + (width - 1 - k) * C::kBytes, index);
        }
    }
}

template <class C, bool TwoRows>
void mirroredRow(const C& convert, const uint8_t* src, int width, uint8_t* rowA, uint8_t* rowB) {
    mirroredRowFrom<C, TwoRows>(convert, 0, src, width, rowA, rowB);
}

#if defined(__SSE2__)
// 8 bits: sixteen pixels at a time. The even source bytes are packed into the left copy, and
// the same sixteen bytes reversed make the right copy.
template <bool TwoRows>
void mirroredRow8Sse2(const Convert8& convert, const uint8_t* src, int width, uint8_t* rowA,
                      uint8_t* rowB) {
    const int rightCount = width / 2;
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    int k = 0;
    for (; k + 16 <= rightCount; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * k + 16));
        const __m128i left =
            _mm_packus_epi16(_mm_and_si128(a, lowBytes), _mm_and_si128(b, lowBytes));
        __m128i right = _mm_or_si128(_mm_slli_epi16(left, 8), _mm_srli_epi16(left, 8));
        right = _mm_shufflelo_epi16(right, _MM_SHUFFLE(0, 1, 2, 3));
        right = _mm_shufflehi_epi16(right, _MM_SHUFFLE(0, 1, 2, 3));
        right = _mm_shuffle_epi32(right, _MM_SHUFFLE(1, 0, 3, 2));
        const int rightOffset = width - 16 - k;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rowA + k), left);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rowA + rightOffset), right);
        if (TwoRows) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rowB + k), left);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rowB + rightOffset), right);
        }
    }
    mirroredRowFrom<Convert8, TwoRows>(convert, k, src, width, rowA, rowB);
}
#endif

inline uint8_t* rowAt(uint8_t* destination, long pitch, int y) {
    return destination + static_cast<ptrdiff_t>(y) * pitch;
}

// The row kernels of one depth; 8 bits replaces the straight rows by plain copies and, with
// SSE2, the mirrored rows by vector code.
template <class C> struct Rows {
    static void straight(const C& c, const uint8_t* s, int w, uint8_t* a) {
        straightRow<C, false>(c, s, w, a, nullptr);
    }
    static void straight2(const C& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        straightRow<C, true>(c, s, w, a, b);
    }
    static void mirrored(const C& c, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow<C, false>(c, s, w, a, nullptr);
    }
    static void mirrored2(const C& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow<C, true>(c, s, w, a, b);
    }
};

struct FastRows8 {
    static void straight(const Convert8&, const uint8_t* s, int w, uint8_t* a) {
        std::memcpy(a, s, static_cast<size_t>(w));
    }
    static void straight2(const Convert8&, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        std::memcpy(a, s, static_cast<size_t>(w));
        std::memcpy(b, s, static_cast<size_t>(w));
    }
#if defined(__SSE2__)
    static void mirrored(const Convert8& c, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow8Sse2<false>(c, s, w, a, nullptr);
    }
    static void mirrored2(const Convert8& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow8Sse2<true>(c, s, w, a, b);
    }
#else
    static void mirrored(const Convert8& c, const uint8_t* s, int w, uint8_t* a) {
        Rows<Convert8>::mirrored(c, s, w, a);
    }
    static void mirrored2(const Convert8& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        Rows<Convert8>::mirrored2(c, s, w, a, b);
    }
#endif
};

// One loop per display function; R supplies the row kernels of the depth.
template <class R, class C>
void copyRows(const C& convert, const uint8_t* frame, int width, int height, int display,
              uint8_t* destination, long pitch) {
    const size_t stride = static_cast<size_t>(width);
    switch (display) {
    case kDisplayKaleidoscope:
    case kDisplayWeidth: {
        const bool mirrored = display == kDisplayKaleidoscope;
        // Rows r and height-1-r show source row 2r; an odd height's middle row shows the last.
        for (int r = 0; r < (height + 1) / 2; ++r) {
            const uint8_t* src = frame + 2 * static_cast<size_t>(r) * stride;
            uint8_t* top = rowAt(destination, pitch, r);
            if (r < height / 2) {
                uint8_t* bottom = rowAt(destination, pitch, height - 1 - r);
                if (mirrored)
                    R::mirrored2(convert, src, width, top, bottom);
                else
                    R::straight2(convert, src, width, top, bottom);
            } else if (mirrored) {
                R::mirrored(convert, src, width, top);
            } else {
                R::straight(convert, src, width, top);
            }
        }
        break;
    }
    case kDisplayHeight:
        for (int y = 0; y < height; ++y)
            R::mirrored(convert, frame + y * stride, width, rowAt(destination, pitch, y));
        break;
    default:
        for (int y = 0; y < height; ++y)
            R::straight(convert, frame + y * stride, width, rowAt(destination, pitch, y));
        break;
    }
}

template <bool Fast>
void copyFrameWith(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
                   long pitch, int pixelDepth, const PaletteBlock& palette) {
    if (!frame || !destination || width <= 0 || height <= 0) return;
    if (display < 0 || display >= 4) display = kDisplayNormal;
    switch (pixelDepth) {
    case 8: {
        const Convert8 convert{};
        if (Fast)
            copyRows<FastRows8>(convert, frame, width, height, display, destination, pitch);
        else
            copyRows<Rows<Convert8>>(convert, frame, width, height, display, destination, pitch);
        break;
    }
    case 16: {
        const Convert16 convert(palette);
        copyRows<Rows<Convert16>>(convert, frame, width, height, display, destination, pitch);
        break;
    }
    case 24: {
        const Convert24 convert(palette);
        copyRows<Rows<Convert24>>(convert, frame, width, height, display, destination, pitch);
        break;
    }
    default:
        break;
    }
}

} // namespace

void copyFrame(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
               long pitch, int pixelDepth, const PaletteBlock& palette) {
    copyFrameWith<true>(frame, width, height, display, destination, pitch, pixelDepth, palette);
}

void copyFrameGeneric(const uint8_t* frame, int width, int height, int display,
                      uint8_t* destination, long pitch, int pixelDepth,
                      const PaletteBlock& palette) {
    copyFrameWith<false>(frame, width, height, display, destination, pitch, pixelDepth, palette);
}

void copyCurrentFrame(uint8_t* destination, long pitch) {
    if (plugin.currentDisplay < 0 || plugin.currentDisplay > 3) plugin.currentDisplay = 0;
    copyFrame(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight, plugin.currentDisplay,
              destination, pitch, pixelFormat.pixelDepth, *currentPaletteEntries);
}
