#include "frame/display_copy.h"

#include "base/cpu_features.h"
#include "base/instance.h"
#include "media/pixel_format.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 where the processor has it, chosen per copy, in every build (see flames.cpp for the
// stack alignment of the 32-bit build).
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUORBEL_COPY_AVX2 1
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

// 32 bits: each pixel is pixels32 of its index as it stands; four pixels are two 8-byte words.
struct Convert32 {
    static constexpr int kBytes = 4;
    struct Group {
        uint64_t low;
        uint64_t high;
    };
    const uint32_t* pixels;
    explicit Convert32(const PaletteBlock& palette) : pixels(palette.pixels32) {}
    Group group(uint8_t a, uint8_t b, uint8_t c, uint8_t d) const {
        return Group{pixels[a] | (uint64_t(pixels[b]) << 32),
                     pixels[c] | (uint64_t(pixels[d]) << 32)};
    }
    Group reversed(const Group&, uint8_t a, uint8_t b, uint8_t c, uint8_t d) const {
        return group(d, c, b, a);
    }
    static void put(uint8_t* out, const Group& g) {
        std::memcpy(out, &g.low, 8);
        std::memcpy(out + 8, &g.high, 8);
    }
    void putOne(uint8_t* out, uint8_t index) const { std::memcpy(out, &pixels[index], 4); }
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

#if QUORBEL_COPY_AVX2
// 16 and 24 bits with AVX2: the palette look-up is a gather of eight 32-bit pixels at a time,
// which costs fewer instructions than eight scalar look-ups; the pixels are then packed to
// their depth in registers and written with wide stores. The remaining pixels of a row go
// through the group converters.
#define COPY_AVX2 __attribute__((target("avx2")))

// pixels16 widened to 32-bit entries once per frame (1 KB): gathering 32 bits straight from the
// 16-bit entries and masking was measured slower (4.1x instead of 3.5x memcpy at 640x480).
struct Avx2Rows16 {
    uint32_t wide[kPaletteColours]; // pixels16, one per 32-bit entry
    const Convert16& convert;
    Avx2Rows16(const PaletteBlock& palette, const Convert16& c) : convert(c) {
        for (int i = 0; i < kPaletteColours; ++i) wide[i] = palette.pixels16[i];
    }
};

// The 16-bit pixels of eight indices (32-bit lanes) and eight more, in index order.
COPY_AVX2 inline __m256i lookUp16(const uint32_t* wide, __m256i first, __m256i second) {
    const int* table = reinterpret_cast<const int*>(wide);
    const __m256i packed = _mm256_packus_epi32(_mm256_i32gather_epi32(table, first, 4),
                                               _mm256_i32gather_epi32(table, second, 4));
    return _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0));
}

COPY_AVX2 inline void store256(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

template <bool TwoRows>
COPY_AVX2 void straightRow16Avx2(const Avx2Rows16& r, const uint8_t* src, int width, uint8_t* rowA,
                                 uint8_t* rowB) {
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i idx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        const __m256i pixels = lookUp16(r.wide, _mm256_cvtepu8_epi32(idx),
                                        _mm256_cvtepu8_epi32(_mm_srli_si128(idx, 8)));
        store256(rowA + 2 * x, pixels);
        if (TwoRows) store256(rowB + 2 * x, pixels);
    }
    straightRow<Convert16, TwoRows>(r.convert, src + x, width - x, rowA + 2 * x,
                                    TwoRows ? rowB + 2 * x : nullptr);
}

// Sixteen pixels of the left copy from the even bytes of 32 source bytes; the same pixels in
// reverse order are the right copy.
template <bool TwoRows>
COPY_AVX2 void mirroredRow16Avx2(const Avx2Rows16& r, const uint8_t* src, int width, uint8_t* rowA,
                                 uint8_t* rowB) {
    const int rightCount = width / 2;
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i reverseWords =
        _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12, 13, 10,
                         11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    int k = 0;
    for (; k + 16 <= rightCount; k += 16) {
        const __m256i even = _mm256_and_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * k)), lowBytes);
        const __m256i left = lookUp16(r.wide, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(even)),
                                      _mm256_cvtepu16_epi32(_mm256_extracti128_si256(even, 1)));
        const __m256i right = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(left, reverseWords),
                                                       _MM_SHUFFLE(1, 0, 3, 2));
        const int rightOffset = 2 * (width - 16 - k);
        store256(rowA + 2 * k, left);
        store256(rowA + rightOffset, right);
        if (TwoRows) {
            store256(rowB + 2 * k, left);
            store256(rowB + rightOffset, right);
        }
    }
    mirroredRowFrom<Convert16, TwoRows>(r.convert, k, src, width, rowA, rowB);
}

struct Avx2RowFns16 {
    static void straight(const Avx2Rows16& r, const uint8_t* s, int w, uint8_t* a) {
        straightRow16Avx2<false>(r, s, w, a, nullptr);
    }
    static void straight2(const Avx2Rows16& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        straightRow16Avx2<true>(r, s, w, a, b);
    }
    static void mirrored(const Avx2Rows16& r, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow16Avx2<false>(r, s, w, a, nullptr);
    }
    static void mirrored2(const Avx2Rows16& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow16Avx2<true>(r, s, w, a, b);
    }
};

struct Avx2Rows24 {
    const uint32_t* pixels32;
    const Convert24& convert;
};

// Eight pixels a step: each 128-bit half of the gathered pixels is packed to twelve bytes and
// stored with a 16-byte store whose last four bytes the next store overwrites. The step's
// second store reaches four bytes into pixels x+8 and x+9, so it runs only while those exist;
// they are written afterwards.
template <bool TwoRows>
COPY_AVX2 void straightRow24Avx2(const Avx2Rows24& r, const uint8_t* src, int width, uint8_t* rowA,
                                 uint8_t* rowB) {
    const int* table = reinterpret_cast<const int*>(r.pixels32);
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 10 <= width; x += 8) {
        const __m256i idx =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + x)));
        const __m256i packed = _mm256_shuffle_epi8(_mm256_i32gather_epi32(table, idx, 4), pack);
        const __m128i low = _mm256_castsi256_si128(packed);
        const __m128i high = _mm256_extracti128_si256(packed, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rowA + 3 * x), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rowA + 3 * x + 12), high);
        if (TwoRows) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rowB + 3 * x), low);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rowB + 3 * x + 12), high);
        }
    }
    straightRow<Convert24, TwoRows>(r.convert, src + x, width - x, rowA + 3 * x,
                                    TwoRows ? rowB + 3 * x : nullptr);
}

struct Avx2RowFns24 {
    static void straight(const Avx2Rows24& r, const uint8_t* s, int w, uint8_t* a) {
        straightRow24Avx2<false>(r, s, w, a, nullptr);
    }
    static void straight2(const Avx2Rows24& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        straightRow24Avx2<true>(r, s, w, a, b);
    }
    static void mirrored(const Avx2Rows24& r, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow<Convert24, false>(r.convert, s, w, a, nullptr);
    }
    static void mirrored2(const Avx2Rows24& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow<Convert24, true>(r.convert, s, w, a, b);
    }
};

// 32 bits: a gather of eight pixels is eight finished pixels.
template <bool TwoRows>
COPY_AVX2 void straightRow32Avx2(const Convert32& c, const uint8_t* src, int width, uint8_t* rowA,
                                 uint8_t* rowB) {
    const int* table = reinterpret_cast<const int*>(c.pixels);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i idx =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + x)));
        const __m256i pixels = _mm256_i32gather_epi32(table, idx, 4);
        store256(rowA + 4 * x, pixels);
        if (TwoRows) store256(rowB + 4 * x, pixels);
    }
    straightRow<Convert32, TwoRows>(c, src + x, width - x, rowA + 4 * x,
                                    TwoRows ? rowB + 4 * x : nullptr);
}

// Eight pixels of the left copy from the even bytes of 16 source bytes; the same eight in
// reverse lane order are the right copy.
template <bool TwoRows>
COPY_AVX2 void mirroredRow32Avx2(const Convert32& c, const uint8_t* src, int width, uint8_t* rowA,
                                 uint8_t* rowB) {
    const int* table = reinterpret_cast<const int*>(c.pixels);
    const int rightCount = width / 2;
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m256i reverseLanes = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    int k = 0;
    for (; k + 8 <= rightCount; k += 8) {
        const __m128i even =
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * k)), lowBytes);
        const __m256i left = _mm256_i32gather_epi32(table, _mm256_cvtepu16_epi32(even), 4);
        const __m256i right = _mm256_permutevar8x32_epi32(left, reverseLanes);
        const int rightOffset = 4 * (width - 8 - k);
        store256(rowA + 4 * k, left);
        store256(rowA + rightOffset, right);
        if (TwoRows) {
            store256(rowB + 4 * k, left);
            store256(rowB + rightOffset, right);
        }
    }
    mirroredRowFrom<Convert32, TwoRows>(c, k, src, width, rowA, rowB);
}

struct Avx2RowFns32 {
    static void straight(const Convert32& c, const uint8_t* s, int w, uint8_t* a) {
        straightRow32Avx2<false>(c, s, w, a, nullptr);
    }
    static void straight2(const Convert32& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        straightRow32Avx2<true>(c, s, w, a, b);
    }
    static void mirrored(const Convert32& c, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow32Avx2<false>(c, s, w, a, nullptr);
    }
    static void mirrored2(const Convert32& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow32Avx2<true>(c, s, w, a, b);
    }
};

// 16 bits with AVX-512BW: the palette in eight vectors of 32 pixels, looked up by two-source
// word permutes (64 entries each) chosen between by bits 6 and 7 of the index, 32 pixels at a
// time with no gather.
#define COPY_AVX512 __attribute__((target("avx512f,avx512bw")))

struct Avx512Rows16 {
    const uint16_t* pixels16;
    const Convert16& convert;
};

struct Palette512 {
    __m512i part[8];
};

COPY_AVX512 inline Palette512 loadPalette16(const uint16_t* pixels16) {
    Palette512 t;
    for (int i = 0; i < 8; ++i) t.part[i] = _mm512_loadu_si512(pixels16 + 32 * i);
    return t;
}

// The 16-bit pixels of 32 indices (16-bit lanes, 0..255), in index order.
COPY_AVX512 inline __m512i lookUp16(const Palette512& t, __m512i index) {
    const __m512i p0 = _mm512_permutex2var_epi16(t.part[0], index, t.part[1]);
    const __m512i p1 = _mm512_permutex2var_epi16(t.part[2], index, t.part[3]);
    const __m512i p2 = _mm512_permutex2var_epi16(t.part[4], index, t.part[5]);
    const __m512i p3 = _mm512_permutex2var_epi16(t.part[6], index, t.part[7]);
    const __mmask32 bit6 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(64));
    const __mmask32 bit7 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(128));
    return _mm512_mask_blend_epi16(bit7, _mm512_mask_blend_epi16(bit6, p0, p1),
                                   _mm512_mask_blend_epi16(bit6, p2, p3));
}

template <bool TwoRows>
COPY_AVX512 void straightRow16Avx512(const Avx512Rows16& r, const uint8_t* src, int width,
                                     uint8_t* rowA, uint8_t* rowB) {
    const Palette512 t = loadPalette16(r.pixels16);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m512i pixels = lookUp16(
            t, _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x))));
        _mm512_storeu_si512(rowA + 2 * x, pixels);
        if (TwoRows) _mm512_storeu_si512(rowB + 2 * x, pixels);
    }
    straightRow<Convert16, TwoRows>(r.convert, src + x, width - x, rowA + 2 * x,
                                    TwoRows ? rowB + 2 * x : nullptr);
}

// 32 pixels of the left copy from the even bytes of 64 source bytes; the same pixels in reverse
// order are the right copy.
template <bool TwoRows>
COPY_AVX512 void mirroredRow16Avx512(const Avx512Rows16& r, const uint8_t* src, int width,
                                     uint8_t* rowA, uint8_t* rowB) {
    const Palette512 t = loadPalette16(r.pixels16);
    const int rightCount = width / 2;
    uint16_t order[32];
    for (int j = 0; j < 32; ++j) order[j] = static_cast<uint16_t>(31 - j);
    const __m512i reverse = _mm512_loadu_si512(order);
    int k = 0;
    for (; k + 32 <= rightCount; k += 32) {
        const __m512i left = lookUp16(
            t, _mm512_and_si512(_mm512_loadu_si512(src + 2 * k), _mm512_set1_epi16(0x00FF)));
        const __m512i right = _mm512_permutexvar_epi16(reverse, left);
        const int rightOffset = 2 * (width - 32 - k);
        _mm512_storeu_si512(rowA + 2 * k, left);
        _mm512_storeu_si512(rowA + rightOffset, right);
        if (TwoRows) {
            _mm512_storeu_si512(rowB + 2 * k, left);
            _mm512_storeu_si512(rowB + rightOffset, right);
        }
    }
    mirroredRowFrom<Convert16, TwoRows>(r.convert, k, src, width, rowA, rowB);
}

struct Avx512RowFns16 {
    static void straight(const Avx512Rows16& r, const uint8_t* s, int w, uint8_t* a) {
        straightRow16Avx512<false>(r, s, w, a, nullptr);
    }
    static void straight2(const Avx512Rows16& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        straightRow16Avx512<true>(r, s, w, a, b);
    }
    static void mirrored(const Avx512Rows16& r, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow16Avx512<false>(r, s, w, a, nullptr);
    }
    static void mirrored2(const Avx512Rows16& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow16Avx512<true>(r, s, w, a, b);
    }
};

// 24 and 32 bits with AVX-512VBMI: each byte of the pixels is looked up in its own 256-byte
// plane of the palette, 64 indices at a time, by two-source byte permutes (128 entries each)
// chosen between by bit 7 of the index; the planes are then interleaved into pixels.
#define COPY_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct BytePlanes {
    uint8_t plane[4][kPaletteColours]; // byte b of pixels32[i] at plane[b][i]
    explicit BytePlanes(const uint32_t* pixels32) {
        for (int i = 0; i < kPaletteColours; ++i)
            for (int b = 0; b < 4; ++b) plane[b][i] = static_cast<uint8_t>(pixels32[i] >> (8 * b));
    }
};

struct Avx512Rows24 {
    const BytePlanes& planes;
    const Convert24& convert;
};
struct Avx512Rows32 {
    const BytePlanes& planes;
    const Convert32& convert;
};

template <int kCount> struct PlaneVectors { __m512i part[kCount][4]; };

template <int kCount> COPY_VBMI inline PlaneVectors<kCount> loadPlanes(const BytePlanes& p) {
    PlaneVectors<kCount> v;
    for (int b = 0; b < kCount; ++b)
        for (int i = 0; i < 4; ++i) v.part[b][i] = _mm512_loadu_si512(p.plane[b] + 64 * i);
    return v;
}

// Byte b of the pixels of 64 indices; high has bit 7 of each index.
template <int kCount>
COPY_VBMI inline __m512i lookUpPlane(const PlaneVectors<kCount>& v, int b, __m512i index,
                                     __mmask64 high) {
    return _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(v.part[b][0], index, v.part[b][1]),
                                  _mm512_permutex2var_epi8(v.part[b][2], index, v.part[b][3]));
}

// The byte permute with a zeroing mask of all lanes: the same instruction, but GCC 12's plain
// form starts from an undefined value that its warnings take for uninitialised.
COPY_VBMI inline __m512i permuteBytes(__m512i index, __m512i v) {
    return _mm512_maskz_permutexvar_epi8(~__mmask64(0), index, v);
}

COPY_VBMI inline __m512i bytesFrom(const uint8_t (&table)[64]) {
    return _mm512_loadu_si512(table);
}

// 32 bits: the four planes interleaved by unpacks, which work within 128-bit quarters; the
// indices are first put in the order that makes the unpacked pixels come out in order (index
// 16q + 4L + r at place 16L + 4q + r). mirrored also takes every second source byte.
struct Order32 {
    uint8_t straight[64], even[64];
    Order32() {
        for (int L = 0; L < 4; ++L)
            for (int q = 0; q < 4; ++q)
                for (int r = 0; r < 4; ++r) {
                    straight[16 * L + 4 * q + r] = static_cast<uint8_t>(16 * q + 4 * L + r);
                    even[16 * L + 4 * q + r] = static_cast<uint8_t>(2 * (16 * q + 4 * L + r));
                }
    }
};

// The 64 pixels of ordered indices as four vectors of 16, in pixel order.
COPY_VBMI inline void pixels32Of(const PlaneVectors<4>& v, __m512i index, __m512i (&out)[4]) {
    const __mmask64 high = _mm512_movepi8_mask(index);
    const __m512i b0 = lookUpPlane(v, 0, index, high), b1 = lookUpPlane(v, 1, index, high);
    const __m512i b2 = lookUpPlane(v, 2, index, high), b3 = lookUpPlane(v, 3, index, high);
    const __m512i lo01 = _mm512_unpacklo_epi8(b0, b1), hi01 = _mm512_unpackhi_epi8(b0, b1);
    const __m512i lo23 = _mm512_unpacklo_epi8(b2, b3), hi23 = _mm512_unpackhi_epi8(b2, b3);
    out[0] = _mm512_unpacklo_epi16(lo01, lo23);
    out[1] = _mm512_unpackhi_epi16(lo01, lo23);
    out[2] = _mm512_unpacklo_epi16(hi01, hi23);
    out[3] = _mm512_unpackhi_epi16(hi01, hi23);
}

template <bool TwoRows>
COPY_VBMI void straightRow32Avx512(const Avx512Rows32& r, const uint8_t* src, int width,
                                   uint8_t* rowA, uint8_t* rowB) {
    static const Order32 order;
    const PlaneVectors<4> v = loadPlanes<4>(r.planes);
    const __m512i straight = bytesFrom(order.straight);
    int x = 0;
    for (; x + 64 <= width; x += 64) {
        __m512i out[4];
        pixels32Of(v, permuteBytes(straight, _mm512_loadu_si512(src + x)), out);
        for (int q = 0; q < 4; ++q) {
            _mm512_storeu_si512(rowA + 4 * x + 64 * q, out[q]);
            if (TwoRows) _mm512_storeu_si512(rowB + 4 * x + 64 * q, out[q]);
        }
    }
    straightRow<Convert32, TwoRows>(r.convert, src + x, width - x, rowA + 4 * x,
                                    TwoRows ? rowB + 4 * x : nullptr);
}

// 64 pixels of the left copy from the even bytes of 128 source bytes; the same pixels in
// reverse order are the right copy.
template <bool TwoRows>
COPY_VBMI void mirroredRow32Avx512(const Avx512Rows32& r, const uint8_t* src, int width,
                                   uint8_t* rowA, uint8_t* rowB) {
    static const Order32 order;
    const PlaneVectors<4> v = loadPlanes<4>(r.planes);
    const __m512i even = bytesFrom(order.even);
    const __m512i reverse = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const int rightCount = width / 2;
    int k = 0;
    for (; k + 64 <= rightCount; k += 64) {
        __m512i out[4];
        pixels32Of(v,
                   _mm512_permutex2var_epi8(_mm512_loadu_si512(src + 2 * k), even,
                                            _mm512_loadu_si512(src + 2 * k + 64)),
                   out);
        uint8_t* const rightA = rowA + 4 * (width - 64 - k);
        for (int q = 0; q < 4; ++q) {
            const __m512i right = _mm512_maskz_permutexvar_epi32(0xFFFF, reverse, out[3 - q]);
            _mm512_storeu_si512(rowA + 4 * k + 64 * q, out[q]);
            _mm512_storeu_si512(rightA + 64 * q, right);
            if (TwoRows) {
                _mm512_storeu_si512(rowB + 4 * k + 64 * q, out[q]);
                _mm512_storeu_si512(rowB + 4 * (width - 64 - k) + 64 * q, right);
            }
        }
    }
    mirroredRowFrom<Convert32, TwoRows>(r.convert, k, src, width, rowA, rowB);
}

// 24 bits: output byte 64o + t of 64 pixels is byte (64o + t) % 3 of pixel (64o + t) / 3. Each
// of the three output vectors is a permute of planes 0 and 1 and one of plane 2, blended.
struct Order24 {
    uint8_t planes01[3][64], plane2[3][64], fromPlane2[3][64], even[64], reverse[64];
    Order24() {
        for (int o = 0; o < 3; ++o)
            for (int t = 0; t < 64; ++t) {
                const int g = 64 * o + t, pixel = g / 3, byte = g % 3;
                planes01[o][t] = static_cast<uint8_t>(byte == 1 ? 64 + pixel : pixel);
                plane2[o][t] = static_cast<uint8_t>(pixel);
                fromPlane2[o][t] = byte == 2 ? 0xFF : 0;
            }
        for (int t = 0; t < 64; ++t) {
            even[t] = static_cast<uint8_t>(2 * t);
            reverse[t] = static_cast<uint8_t>(63 - t);
        }
    }
};

struct Interleave24 {
    __m512i planes01[3], plane2[3];
    __mmask64 fromPlane2[3];
};

COPY_VBMI inline Interleave24 interleave24(const Order24& order) {
    Interleave24 i;
    for (int o = 0; o < 3; ++o) {
        i.planes01[o] = bytesFrom(order.planes01[o]);
        i.plane2[o] = bytesFrom(order.plane2[o]);
        i.fromPlane2[o] = _mm512_movepi8_mask(bytesFrom(order.fromPlane2[o]));
    }
    return i;
}

// The 192 bytes of the 64 pixels whose bytes are b0, b1, b2, stored at out (and outB).
template <bool TwoRows>
COPY_VBMI inline void store24(const Interleave24& i, __m512i b0, __m512i b1, __m512i b2,
                              uint8_t* out, uint8_t* outB) {
    for (int o = 0; o < 3; ++o) {
        const __m512i bytes =
            _mm512_mask_blend_epi8(i.fromPlane2[o], _mm512_permutex2var_epi8(b0, i.planes01[o], b1),
                                   permuteBytes(i.plane2[o], b2));
        _mm512_storeu_si512(out + 64 * o, bytes);
        if (TwoRows) _mm512_storeu_si512(outB + 64 * o, bytes);
    }
}

template <bool TwoRows>
COPY_VBMI void straightRow24Avx512(const Avx512Rows24& r, const uint8_t* src, int width,
                                   uint8_t* rowA, uint8_t* rowB) {
    static const Order24 order;
    const PlaneVectors<3> v = loadPlanes<3>(r.planes);
    const Interleave24 il = interleave24(order);
    int x = 0;
    for (; x + 64 <= width; x += 64) {
        const __m512i index = _mm512_loadu_si512(src + x);
        const __mmask64 high = _mm512_movepi8_mask(index);
        store24<TwoRows>(il, lookUpPlane(v, 0, index, high), lookUpPlane(v, 1, index, high),
                         lookUpPlane(v, 2, index, high), rowA + 3 * x,
                         TwoRows ? rowB + 3 * x : nullptr);
    }
    straightRow<Convert24, TwoRows>(r.convert, src + x, width - x, rowA + 3 * x,
                                    TwoRows ? rowB + 3 * x : nullptr);
}

template <bool TwoRows>
COPY_VBMI void mirroredRow24Avx512(const Avx512Rows24& r, const uint8_t* src, int width,
                                   uint8_t* rowA, uint8_t* rowB) {
    static const Order24 order;
    const PlaneVectors<3> v = loadPlanes<3>(r.planes);
    const Interleave24 il = interleave24(order);
    const __m512i even = bytesFrom(order.even), reverse = bytesFrom(order.reverse);
    const int rightCount = width / 2;
    int k = 0;
    for (; k + 64 <= rightCount; k += 64) {
        const __m512i index = _mm512_permutex2var_epi8(_mm512_loadu_si512(src + 2 * k), even,
                                                       _mm512_loadu_si512(src + 2 * k + 64));
        const __mmask64 high = _mm512_movepi8_mask(index);
        const __m512i b0 = lookUpPlane(v, 0, index, high), b1 = lookUpPlane(v, 1, index, high);
        const __m512i b2 = lookUpPlane(v, 2, index, high);
        const int rightOffset = 3 * (width - 64 - k);
        store24<TwoRows>(il, b0, b1, b2, rowA + 3 * k, TwoRows ? rowB + 3 * k : nullptr);
        store24<TwoRows>(il, permuteBytes(reverse, b0), permuteBytes(reverse, b1),
                         permuteBytes(reverse, b2), rowA + rightOffset,
                         TwoRows ? rowB + rightOffset : nullptr);
    }
    mirroredRowFrom<Convert24, TwoRows>(r.convert, k, src, width, rowA, rowB);
}

// 8 bits: 64 pixels of the left copy are the even bytes of 128 source bytes, and the right
// copy the same bytes reversed; each is one two-source byte permute.
struct Order8 {
    uint8_t even[64], evenReversed[64];
    Order8() {
        for (int t = 0; t < 64; ++t) {
            even[t] = static_cast<uint8_t>(2 * t);
            evenReversed[t] = static_cast<uint8_t>(2 * (63 - t));
        }
    }
};

template <bool TwoRows>
COPY_VBMI void mirroredRow8Avx512(const Convert8& convert, const uint8_t* src, int width,
                                  uint8_t* rowA, uint8_t* rowB) {
    static const Order8 order;
    const __m512i even = bytesFrom(order.even), evenReversed = bytesFrom(order.evenReversed);
    const int rightCount = width / 2;
    int k = 0;
    for (; k + 64 <= rightCount; k += 64) {
        const __m512i a = _mm512_loadu_si512(src + 2 * k), b = _mm512_loadu_si512(src + 2 * k + 64);
        const __m512i left = _mm512_permutex2var_epi8(a, even, b);
        const __m512i right = _mm512_permutex2var_epi8(a, evenReversed, b);
        const int rightOffset = width - 64 - k;
        _mm512_storeu_si512(rowA + k, left);
        _mm512_storeu_si512(rowA + rightOffset, right);
        if (TwoRows) {
            _mm512_storeu_si512(rowB + k, left);
            _mm512_storeu_si512(rowB + rightOffset, right);
        }
    }
    mirroredRowFrom<Convert8, TwoRows>(convert, k, src, width, rowA, rowB);
}

struct Avx512FastRows8 {
    static void straight(const Convert8&, const uint8_t* s, int w, uint8_t* a) {
        std::memcpy(a, s, static_cast<size_t>(w));
    }
    static void straight2(const Convert8&, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        std::memcpy(a, s, static_cast<size_t>(w));
        std::memcpy(b, s, static_cast<size_t>(w));
    }
    static void mirrored(const Convert8& c, const uint8_t* s, int w, uint8_t* a) {
        mirroredRow8Avx512<false>(c, s, w, a, nullptr);
    }
    static void mirrored2(const Convert8& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        mirroredRow8Avx512<true>(c, s, w, a, b);
    }
};

#define AVX512_ROW_FNS(Name, Rows, straightFn, mirroredFn)                                         \
    struct Name {                                                                                  \
        static void straight(const Rows& r, const uint8_t* s, int w, uint8_t* a) {                 \
            straightFn<false>(r, s, w, a, nullptr);                                                \
        }                                                                                          \
        static void straight2(const Rows& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {    \
            straightFn<true>(r, s, w, a, b);                                                       \
        }                                                                                          \
        static void mirrored(const Rows& r, const uint8_t* s, int w, uint8_t* a) {                 \
            mirroredFn<false>(r, s, w, a, nullptr);                                                \
        }                                                                                          \
        static void mirrored2(const Rows& r, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {    \
            mirroredFn<true>(r, s, w, a, b);                                                       \
        }                                                                                          \
    };
AVX512_ROW_FNS(Avx512RowFns24, Avx512Rows24, straightRow24Avx512, mirroredRow24Avx512)
AVX512_ROW_FNS(Avx512RowFns32, Avx512Rows32, straightRow32Avx512, mirroredRow32Avx512)
#undef AVX512_ROW_FNS

#endif

// The loops of one depth, named by the instruction sets they need.
enum class CopyLoops { Scalar, Sse2, Avx2, Avx512Bw, Avx512Vbmi };

const char* nameOf(CopyLoops loops) {
    switch (loops) {
    case CopyLoops::Avx512Vbmi:
        return "avx512vbmi";
    case CopyLoops::Avx512Bw:
        return "avx512bw";
    case CopyLoops::Avx2:
        return "avx2";
    case CopyLoops::Sse2:
        return "sse2";
    default:
        return "scalar";
    }
}

// The widest loops of a depth that this build has and the features allow: the byte permutes
// of the 24- and 32-bit rows and of the mirrored 8-bit rows need VBMI, the word permutes of the
// 16-bit rows BW only. (The AVX-512 loops are built for F, BW and VBMI, not VL: no masked or
// EVEX-encoded 128- or 256-bit instruction is used, and no BMI.)
CopyLoops copyLoopsFor(int pixelDepth, CpuFeatures f) {
    const auto has = [f](CpuFeatures needed) { return (f & needed) == needed; };
    const bool sse2 = has(kCpuSse2);
#if QUORBEL_COPY_AVX2
    const bool avx512bw = has(kCpuAvx512F | kCpuAvx512Bw | kCpuAvx2);
    const bool vbmi = avx512bw && has(kCpuAvx512Vbmi);
    const bool avx2 = has(kCpuAvx2);
#else
    const bool vbmi = false, avx512bw = false, avx2 = false;
    (void)avx512bw;
#endif
    switch (pixelDepth) {
    case 8:
        if (vbmi) return CopyLoops::Avx512Vbmi;
#if defined(__SSE2__)
        if (sse2) return CopyLoops::Sse2;
#endif
        return CopyLoops::Scalar;
    case 16:
        if (avx512bw) return CopyLoops::Avx512Bw;
        if (avx2) return CopyLoops::Avx2;
        return CopyLoops::Scalar;
    case 24:
    case 32:
        if (vbmi) return CopyLoops::Avx512Vbmi;
        if (avx2) return CopyLoops::Avx2;
        return CopyLoops::Scalar;
    default:
        (void)sse2;
        return CopyLoops::Scalar;
    }
}

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

// The straight rows are plain copies; the mirrored ones SSE2 where chosen.
template <bool Sse2> struct FastRows8 {
    static void straight(const Convert8&, const uint8_t* s, int w, uint8_t* a) {
        std::memcpy(a, s, static_cast<size_t>(w));
    }
    static void straight2(const Convert8&, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
        std::memcpy(a, s, static_cast<size_t>(w));
        std::memcpy(b, s, static_cast<size_t>(w));
    }
    static void mirrored(const Convert8& c, const uint8_t* s, int w, uint8_t* a) {
#if defined(__SSE2__)
        if (Sse2) return mirroredRow8Sse2<false>(c, s, w, a, nullptr);
#endif
        Rows<Convert8>::mirrored(c, s, w, a);
    }
    static void mirrored2(const Convert8& c, const uint8_t* s, int w, uint8_t* a, uint8_t* b) {
#if defined(__SSE2__)
        if (Sse2) return mirroredRow8Sse2<true>(c, s, w, a, b);
#endif
        Rows<Convert8>::mirrored2(c, s, w, a, b);
    }
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
    const CopyLoops loops = Fast ? copyLoopsFor(pixelDepth, cpuFeatures()) : CopyLoops::Scalar;
    switch (pixelDepth) {
    case 8: {
        const Convert8 convert{};
#if QUORBEL_COPY_AVX2
        if (loops == CopyLoops::Avx512Vbmi) {
            copyRows<Avx512FastRows8>(convert, frame, width, height, display, destination, pitch);
            break;
        }
#endif
        if (!Fast)
            copyRows<Rows<Convert8>>(convert, frame, width, height, display, destination, pitch);
        else if (loops == CopyLoops::Sse2)
            copyRows<FastRows8<true>>(convert, frame, width, height, display, destination, pitch);
        else
            copyRows<FastRows8<false>>(convert, frame, width, height, display, destination, pitch);
        break;
    }
    case 16: {
        const Convert16 convert(palette);
#if QUORBEL_COPY_AVX2
        if (loops == CopyLoops::Avx512Bw) {
            copyRows<Avx512RowFns16>(Avx512Rows16{palette.pixels16, convert}, frame, width, height,
                                     display, destination, pitch);
            break;
        }
        if (loops == CopyLoops::Avx2) {
            copyRows<Avx2RowFns16>(Avx2Rows16(palette, convert), frame, width, height, display,
                                   destination, pitch);
            break;
        }
#endif
        copyRows<Rows<Convert16>>(convert, frame, width, height, display, destination, pitch);
        break;
    }
    case 24: {
        const Convert24 convert(palette);
#if QUORBEL_COPY_AVX2
        if (loops == CopyLoops::Avx512Vbmi) {
            const BytePlanes planes(palette.pixels32);
            copyRows<Avx512RowFns24>(Avx512Rows24{planes, convert}, frame, width, height, display,
                                     destination, pitch);
            break;
        }
        if (loops == CopyLoops::Avx2) {
            copyRows<Avx2RowFns24>(Avx2Rows24{palette.pixels32, convert}, frame, width, height,
                                   display, destination, pitch);
            break;
        }
#endif
        copyRows<Rows<Convert24>>(convert, frame, width, height, display, destination, pitch);
        break;
    }
    case 32: {
        const Convert32 convert(palette);
#if QUORBEL_COPY_AVX2
        if (loops == CopyLoops::Avx512Vbmi) {
            const BytePlanes planes(palette.pixels32);
            copyRows<Avx512RowFns32>(Avx512Rows32{planes, convert}, frame, width, height, display,
                                     destination, pitch);
            break;
        }
        if (loops == CopyLoops::Avx2) {
            copyRows<Avx2RowFns32>(convert, frame, width, height, display, destination, pitch);
            break;
        }
#endif
        copyRows<Rows<Convert32>>(convert, frame, width, height, display, destination, pitch);
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

namespace {

// Widens the first width pixels of row in place to width x scale, each pixel repeated scale
// times. From the right end leftwards, so every pixel is read before anything lands on it.
template <int kBytes> void widenRow(uint8_t* row, int width, int scale) {
    for (int x = width - 1; x >= 0; --x) {
        uint8_t pixel[kBytes];
        std::memcpy(pixel, row + std::size_t(x) * kBytes, kBytes);
        uint8_t* out = row + std::size_t(x) * scale * kBytes;
        for (int k = 0; k < scale; ++k) std::memcpy(out + std::size_t(k) * kBytes, pixel, kBytes);
    }
}

// The same for the scale the desktop full screen uses most (x2 into 32-bit pixels), in
// 16-byte steps where they fit.
void widenRow32By2(uint8_t* row, int width, bool sse2) {
    int x = width;
#if defined(__SSE2__)
    while (sse2 && x >= 4) {
        x -= 4;
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 8 * x + 16),
                         _mm_unpackhi_epi32(four, four));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 8 * x), _mm_unpacklo_epi32(four, four));
    }
#else
    (void)sse2;
#endif
    while (x > 0) {
        --x;
        uint32_t pixel;
        std::memcpy(&pixel, row + 4 * x, 4);
        std::memcpy(row + 8 * x, &pixel, 4);
        std::memcpy(row + 8 * x + 4, &pixel, 4);
    }
}

} // namespace

void copyFrameScaled(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
                     long pitch, int pixelDepth, const PaletteBlock& palette, int scale) {
    const int bytes = pixelDepth / 8;
    if (scale < 1 || width <= 0 || height <= 0) return;
    if (pixelDepth != 8 && pixelDepth != 16 && pixelDepth != 24 && pixelDepth != 32) return;
    // The plain copy lays source row y at the start of destination row y x scale; each such
    // row is then widened in place and repeated into the rows below it.
    copyFrame(frame, width, height, display, destination, pitch * scale, pixelDepth, palette);
    if (scale == 1) return;
    const std::size_t rowBytes = std::size_t(width) * scale * bytes;
    const bool sse2 = cpuHas(kCpuSse2);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = destination + long(y) * scale * pitch;
        if (bytes == 4 && scale == 2)
            widenRow32By2(row, width, sse2);
        else if (bytes == 4)
            widenRow<4>(row, width, scale);
        else if (bytes == 3)
            widenRow<3>(row, width, scale);
        else if (bytes == 2)
            widenRow<2>(row, width, scale);
        else
            widenRow<1>(row, width, scale);
        for (int k = 1; k < scale; ++k) std::memcpy(row + long(k) * pitch, row, rowBytes);
    }
}

const char* frameCopyKernels() {
    const CpuFeatures f = cpuFeatures();
    CopyLoops widest = CopyLoops::Scalar;
    for (int depth : {8, 16, 24, 32}) widest = std::max(widest, copyLoopsFor(depth, f));
    return nameOf(widest);
}

const char* frameCopyLoops(int pixelDepth) {
    return nameOf(copyLoopsFor(pixelDepth, cpuFeatures()));
}

void copyCurrentFrame(uint8_t* destination, long pitch) {
    if (plugin.currentDisplay < 0 || plugin.currentDisplay > 3) plugin.currentDisplay = 0;
    copyFrame(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight, plugin.currentDisplay,
              destination, pitch, pixelFormat.pixelDepth, *currentPaletteEntries);
}
