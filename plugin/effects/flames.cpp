// The flames. Each one turns the last frame into the starting image of the next.
//
// On entry previousBuffer (S) holds the last frame and currentBuffer (D) the one before it.
// Copying flames write D from S. In-place flames exchange the pointers again and rewrite the
// last frame (B) in one pass whose direction decides what the pass sees: an upward pass that
// reads higher indices sees old values only, a downward one sees values rewritten in the same
// pass. Guard rows below the image hold the neighbours of the bottom rows.
//
// The per-pixel rule is always a quarterFade or halfFade look-up; the fast loops compute the
// same values sixteen pixels at a time (sum in 16-bit lanes, shift, subtract one with
// saturation), which is bit-identical to the tables. Rows are processed so that every value
// read is exactly the one the pixel-by-pixel pass would read at that point.
#include "effects/flames.h"

#include "effects/effects.h"
#include "base/cpu_features.h"
#include "base/instance.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define QUORBEL_SSE2 1
#endif
// AVX2 where the processor has it, chosen at start, in every build. A 32-bit player's threads
// may enter with a stack aligned to 4 bytes only: the 32-bit Windows build assumes no more
// (-mincoming-stack-boundary=2), so every function that keeps vectors on the stack realigns
// it first, and the Windows builds' assembler turns aligned vector moves into unaligned ones
// (-muse-unaligned-vector-move), which 64-bit Windows code needs for 32-byte vectors.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUORBEL_AVX2 1
#endif

uint8_t quarterFade[1024];
uint8_t halfFade[1024];

namespace {

// Pixel by pixel, for processors without SSE2 and for the tests.
#define KERNEL_NAMESPACE scalar
#define KERNEL_TARGET
#include "effects/flame_kernels.inc"
#undef KERNEL_NAMESPACE
#undef KERNEL_TARGET

#if QUORBEL_SSE2
#define KERNEL_NAMESPACE sse2
#define KERNEL_TARGET
#define VEC __m128i
#define V_WIDTH 16
#define V_LOAD(p) _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
#define V_STORE(p, v) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v)
#define V_ZERO() _mm_setzero_si128()
#define V_SET8(x) _mm_set1_epi8(x)
#define V_UNPACKLO8 _mm_unpacklo_epi8
#define V_UNPACKHI8 _mm_unpackhi_epi8
#define V_ADD16 _mm_add_epi16
#define V_ADD8 _mm_add_epi8
#define V_SRLI16 _mm_srli_epi16
#define V_PACKUS16 _mm_packus_epi16
#define V_SUBSU8 _mm_subs_epu8
#define V_AND _mm_and_si128
#define V_OR _mm_or_si128
#include "effects/flame_kernels.inc"
#undef KERNEL_NAMESPACE
#undef VEC
#undef V_WIDTH
#undef V_LOAD
#undef V_STORE
#undef V_ZERO
#undef V_SET8
#undef V_UNPACKLO8
#undef V_UNPACKHI8
#undef V_ADD16
#undef V_ADD8
#undef V_SRLI16
#undef V_PACKUS16
#undef V_SUBSU8
#undef V_AND
#undef V_OR
#undef KERNEL_TARGET
#endif

#if QUORBEL_AVX2
#define KERNEL_NAMESPACE avx2
#define KERNEL_TARGET __attribute__((target("avx2")))
#define VEC __m256i
#define V_WIDTH 32
#define V_LOAD(p) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
#define V_STORE(p, v) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v)
#define V_ZERO() _mm256_setzero_si256()
#define V_SET8(x) _mm256_set1_epi8(x)
#define V_UNPACKLO8 _mm256_unpacklo_epi8
#define V_UNPACKHI8 _mm256_unpackhi_epi8
#define V_ADD16 _mm256_add_epi16
#define V_ADD8 _mm256_add_epi8
#define V_SRLI16 _mm256_srli_epi16
#define V_PACKUS16 _mm256_packus_epi16
#define V_SUBSU8 _mm256_subs_epu8
#define V_AND _mm256_and_si256
#define V_OR _mm256_or_si256
#include "effects/flame_kernels.inc"
#undef KERNEL_NAMESPACE
#undef VEC
#undef V_WIDTH
#undef V_LOAD
#undef V_STORE
#undef V_ZERO
#undef V_SET8
#undef V_UNPACKLO8
#undef V_UNPACKHI8
#undef V_ADD16
#undef V_ADD8
#undef V_SRLI16
#undef V_PACKUS16
#undef V_SUBSU8
#undef V_AND
#undef V_OR
#undef KERNEL_TARGET

// AVX-512BW: 64 pixels a step. Its byte unpacks and packs work within 128-bit quarters, which
// the unpack-then-pack order restores as for AVX2.
#define KERNEL_NAMESPACE avx512
#define KERNEL_TARGET __attribute__((target("avx512f,avx512bw")))
#define VEC __m512i
#define V_WIDTH 64
#define V_LOAD(p) _mm512_loadu_si512(p)
#define V_STORE(p, v) _mm512_storeu_si512(p, v)
#define V_ZERO() _mm512_setzero_si512()
#define V_SET8(x) _mm512_set1_epi8(x)
#define V_UNPACKLO8 _mm512_unpacklo_epi8
#define V_UNPACKHI8 _mm512_unpackhi_epi8
#define V_ADD16 _mm512_add_epi16
#define V_ADD8 _mm512_add_epi8
#define V_SRLI16 _mm512_srli_epi16
#define V_PACKUS16 _mm512_packus_epi16
#define V_SUBSU8 _mm512_subs_epu8
#define V_AND _mm512_and_si512
#define V_OR _mm512_or_si512
#include "effects/flame_kernels.inc"
#endif

// d[i] = quarterFade[p[i] + p[i+1] + c[i] + e[i]] by a four-source loop.
template <void (*sum4)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*,
                       int)>
void pairSumBySum4(uint8_t* d, const uint8_t* p, const uint8_t* c, const uint8_t* e, int n) {
    sum4(d, p, p + 1, c, e, n);
}

#if QUORBEL_AVX2
// The same with AVX-512, the pair summed from words (flames.cpp, further on).
__attribute__((target("avx512f,avx512bw"))) void
pairSum512(uint8_t* d, const uint8_t* p, const uint8_t* c, const uint8_t* e, int n);
#endif

// The loops in use: the widest the processor runs, chosen by buildFlameTables().
struct Kernels {
    void (*fadeSum4)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
    // fadeSum4 of p, p + 1, c and e: the flames whose four pixels include two side by side.
    void (*fadePairSum4)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
    void (*fadeSum121)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
    // The same for "R-Fa", whose rows read the row below just written: the 64-byte loop was
    // measured slower there than the 32-byte one (kernel_ratios), so the AVX-512 set keeps it.
    void (*fadeSum121Rows)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
    void (*fadeWrappedSum4)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*,
                            const uint8_t*, int);
    void (*fadeOr4)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
    void (*halveWrappedSum2)(uint8_t*, const uint8_t*, const uint8_t*, int);
    void (*lower)(uint8_t*, int, int);
};
#define KERNEL_SET_WITH_ROWS(ns, rows)                                                             \
    Kernels {                                                                                      \
        ns::fadeSum4, pairSumBySum4<ns::fadeSum4>, ns::fadeSum121, rows::fadeSum121,               \
            ns::fadeWrappedSum4, ns::fadeOr4, ns::halveWrappedSum2, ns::lower                      \
    }
#define KERNEL_SET(ns) KERNEL_SET_WITH_ROWS(ns, ns)
#if QUORBEL_SSE2
Kernels kernels = KERNEL_SET(sse2);
FlameKernels kernelsInUse = FlameKernels::Sse2;
#else
Kernels kernels = KERNEL_SET(scalar);
FlameKernels kernelsInUse = FlameKernels::Scalar;
#endif

// s / 6 for 0 <= s <= 1530 (six bytes) by a multiply and a shift.
constexpr unsigned divideBySix(unsigned s) {
    return (s * 10923u) >> 16;
}
constexpr bool divideBySixIsExact() {
    for (unsigned s = 0; s <= 6 * 255; ++s)
        if (divideBySix(s) != s / 6) return false;
    return true;
}
static_assert(divideBySixIsExact(), "the multiply-shift must equal the division for six bytes");

// s / 6 for 0 <= s <= 1530, for the chains of "Test": a look-up is quicker in a chain than the
// multiply, which only one execution port runs.
uint8_t sixth[6 * 255 + 1];

// What each set of loops needs of the processor: the AVX-512 set also runs "R-Fa" with the
// AVX2 loop.
CpuFeatures featuresOf(FlameKernels which) {
    switch (which) {
    case FlameKernels::Avx512Bw:
        return kCpuAvx512F | kCpuAvx512Bw | kCpuAvx2;
    case FlameKernels::Avx2:
        return kCpuAvx2;
    case FlameKernels::Sse2:
        return kCpuSse2;
    default:
        return 0;
    }
}

// Whether this build has the set at all.
bool built(FlameKernels which) {
    switch (which) {
#if QUORBEL_AVX2
    case FlameKernels::Avx512Bw:
    case FlameKernels::Avx2:
#endif
#if QUORBEL_SSE2
    case FlameKernels::Sse2:
#endif
    case FlameKernels::Scalar:
        return true;
    default:
        return false;
    }
}

void setKernels(FlameKernels which) {
    switch (which) {
#if QUORBEL_AVX2
    case FlameKernels::Avx512Bw:
        kernels = KERNEL_SET_WITH_ROWS(avx512, avx2);
        kernels.fadePairSum4 = pairSum512;
        break;
    case FlameKernels::Avx2:
        kernels = KERNEL_SET(avx2);
        break;
#endif
#if QUORBEL_SSE2
    case FlameKernels::Sse2:
        kernels = KERNEL_SET(sse2);
        break;
#endif
    default:
        kernels = KERNEL_SET(scalar);
        which = FlameKernels::Scalar;
        break;
    }
    kernelsInUse = which;
}

} // namespace

void buildFlameTables() {
    for (int s = 0; s < 1024; ++s) {
        quarterFade[s] = static_cast<uint8_t>(s >= 4 ? (s / 4 - 1) & 0xFF : 0);
        halfFade[s] = static_cast<uint8_t>(s >= 2 ? (s / 2 - 1) & 0xFF : 0);
    }
    for (unsigned s = 0; s < sizeof sixth; ++s) sixth[s] = static_cast<uint8_t>(divideBySix(s));
    for (FlameKernels which : {FlameKernels::Avx512Bw, FlameKernels::Avx2, FlameKernels::Sse2}) {
        if (useFlameKernels(which)) return;
    }
    setKernels(FlameKernels::Scalar);
}

bool useFlameKernels(FlameKernels which) {
    if (!built(which) || !cpuHas(featuresOf(which))) return false;
    setKernels(which);
    return true;
}

const char* flameKernelsInUse() {
    switch (kernelsInUse) {
    case FlameKernels::Avx512Bw:
        return "avx512bw";
    case FlameKernels::Avx2:
        return "avx2";
    case FlameKernels::Sse2:
        return "sse2";
    default:
        return "scalar";
    }
}

namespace {

struct Frame {
    uint8_t* b;
    int w, h, n;
};

// The buffer an in-place flame rewrites: the pointers are exchanged back first, so that
// currentBuffer is the last frame.
Frame inPlaceFrame() {
    exchangeFrameBuffers();
    return {plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight,
            plugin.frameWidth * plugin.frameHeight};
}

} // namespace

void flameClear() {
    std::memset(plugin.currentBuffer, 0,
                static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight);
}

void flameOverwrite() {
    exchangeFrameBuffers();
}

// Upward, k = 0..N-1: B[k] = qf[B[k+W-1] + B[k+W] + B[k+W+1] + B[k+2W]]; every read lies
// ahead of the write, so the pass sees old values only.
void flameUpSlow() {
    const Frame f = inPlaceFrame();
    kernels.fadePairSum4(f.b, f.b + f.w - 1, f.b + f.w + 1, f.b + 2 * f.w, f.n);
}

namespace {

#if QUORBEL_AVX2
// The downward passes "U-Fa", "R-Fa" and "L-Fa" with AVX-512, for rows whose width is a multiple
// of 64 (128 to 640): each row reads the row below as just rewritten, one pixel to
// either side. Read back from memory, those bytes straddle the stores that wrote them, which
// then cannot be forwarded and hold up every row; here the row below stays in registers and
// is shifted there. x = 0, which reads its own row's last pixel, is done after the row.
namespace fast512 {

constexpr int kMaxWidth = 640;

#define FAST512 __attribute__((target("avx512f,avx512bw")))

enum class Taps { UpFast, RightFast, LeftFast };

// Lane j: byte j - 1 of cur, byte 63 of before for lane 0.
FAST512 inline __m512i oneUp(__m512i cur, __m512i before) {
    return _mm512_alignr_epi8(cur, _mm512_maskz_alignr_epi32(0xFFFF, cur, before, 12), 15);
}
// Lane j: byte j + 1 of cur, byte 0 of after for lane 63.
FAST512 inline __m512i oneDown(__m512i cur, __m512i after) {
    return _mm512_alignr_epi8(_mm512_maskz_alignr_epi32(0xFFFF, after, cur, 4), cur, 1);
}

// quarterFade of the sums of the even pixels (low bytes) and the odd ones (high bytes), given
// as 16-bit lanes: (s / 4 - 1, not below 0) put back as bytes.
FAST512 inline __m512i quarterOfSums(__m512i even, __m512i odd) {
    // Bits 0-7 from even / 4, bits 8-15 from odd / 4: select (C ? B : A) with C = 0xFF00.
    const __m512i packed = _mm512_ternarylogic_epi32(
        _mm512_srli_epi16(even, 2), _mm512_slli_epi16(odd, 6), _mm512_set1_epi16(-0x100), 0xD8);
    return _mm512_subs_epu8(packed, _mm512_set1_epi8(1));
}

// Block k of the row at r from the row below (cur, with before and next beside it). Words of
// the row below give a pixel and its right neighbour; with maddubs they sum as pairs (U-Fa) or
// with weights 2, 1 (R-Fa) and 1, 2 (L-Fa). The even pixels' pairs start one pixel to the left
// (R-Fa, U-Fa) or the odd pixels' one to the right (L-Fa), shifted by a byte.
template <Taps taps>
FAST512 inline __m512i block(const uint8_t* r, __m512i before, __m512i cur, __m512i next) {
    const __m512i own = _mm512_loadu_si512(r), low = _mm512_set1_epi16(0xFF);
    const __m512i ownEven = _mm512_and_si512(own, low), ownOdd = _mm512_srli_epi16(own, 8);
    if (taps == Taps::UpFast) {
        const __m512i ones = _mm512_set1_epi8(1), right = oneDown(cur, next);
        const __m512i even = _mm512_add_epi16(_mm512_maddubs_epi16(oneUp(cur, before), ones),
                                              _mm512_add_epi16(_mm512_srli_epi16(cur, 8), ownEven));
        const __m512i odd = _mm512_add_epi16(_mm512_maddubs_epi16(cur, ones),
                                             _mm512_add_epi16(_mm512_srli_epi16(right, 8), ownOdd));
        return quarterOfSums(even, odd);
    }
    if (taps == Taps::RightFast) {
        const __m512i twoOne = _mm512_set1_epi16(0x0102);
        return quarterOfSums(
            _mm512_add_epi16(_mm512_maddubs_epi16(oneUp(cur, before), twoOne), ownEven),
            _mm512_add_epi16(_mm512_maddubs_epi16(cur, twoOne), ownOdd));
    }
    const __m512i oneTwo = _mm512_set1_epi16(0x0201);
    return quarterOfSums(
        _mm512_add_epi16(_mm512_maddubs_epi16(cur, oneTwo), ownEven),
        _mm512_add_epi16(_mm512_maddubs_epi16(oneDown(cur, next), oneTwo), ownOdd));
}

template <Taps taps> FAST512 void pass(uint8_t* b, int w, int h) {
    const int n = w / 64;
    __m512i below[kMaxWidth / 64];
    for (int k = 0; k < n; ++k)
        below[k] = _mm512_loadu_si512(b + static_cast<size_t>(h) * w + 64 * k);
    for (int y = h - 1; y >= 0; --y) {
        uint8_t* const r = b + static_cast<size_t>(y) * w;
        // Row y + 2 (rewritten, or the guard row): its first pixel follows row y + 1's last.
        const __m512i after = _mm512_loadu_si512(r + 2 * w);
        const __m512i first = below[0], second = below[1];
        // Blocks 1 to n - 1, then block 0, whose x = 0 reads this row's rewritten last pixel
        // where U-Fa and R-Fa read one pixel to the left.
        __m512i before = first;
        for (int k = 1; k < n; ++k) {
            const __m512i cur = below[k];
            const __m512i v =
                block<taps>(r + 64 * k, before, cur, k + 1 < n ? below[k + 1] : after);
            _mm512_storeu_si512(r + 64 * k, v);
            below[k] = v;
            before = cur;
        }
        __m512i v = block<taps>(r, below[n - 1], first, second);
        if (y == 0) v = _mm512_mask_mov_epi8(v, 1, _mm512_loadu_si512(r)); // x = 0 stays
        _mm512_storeu_si512(r, v);
        below[0] = v;
    }
}

} // namespace fast512
#endif

#if QUORBEL_AVX2
__attribute__((target("avx512f,avx512bw"))) inline __m512i
pairSumBlock(const uint8_t* p, const uint8_t* c, const uint8_t* e) {
    const __m512i ones = _mm512_set1_epi8(1), low = _mm512_set1_epi16(0xFF);
    const __m512i cv = _mm512_loadu_si512(c), ev = _mm512_loadu_si512(e);
    const __m512i even =
        _mm512_add_epi16(_mm512_maddubs_epi16(_mm512_loadu_si512(p), ones),
                         _mm512_add_epi16(_mm512_and_si512(cv, low), _mm512_and_si512(ev, low)));
    const __m512i odd =
        _mm512_add_epi16(_mm512_maddubs_epi16(_mm512_loadu_si512(p + 1), ones),
                         _mm512_add_epi16(_mm512_srli_epi16(cv, 8), _mm512_srli_epi16(ev, 8)));
    return fast512::quarterOfSums(even, odd);
}

// d[i] = quarterFade[p[i] + p[i+1] + c[i] + e[i]], 64 pixels a step in 16-bit lanes: the words
// at p give the even pixels' pairs and those at p + 1 the odd ones'. Blocks as in
// flame_kernels.inc: each computed before it is stored, aligned stores after the first, and an
// overlapping last one.
__attribute__((target("avx512f,avx512bw"))) void
pairSum512(uint8_t* d, const uint8_t* p, const uint8_t* c, const uint8_t* e, int n) {
    if (n < 64) {
        for (int i = 0; i < n; ++i) d[i] = quarterFade[p[i] + p[i + 1] + c[i] + e[i]];
        return;
    }
    const int last = n - 64;
    const __m512i lastBlock = pairSumBlock(p + last, c + last, e + last);
    int i = 0;
    const int aligned = static_cast<int>((0u - reinterpret_cast<uintptr_t>(d)) & 63);
    if (aligned != 0 && aligned < last) {
        const __m512i first = pairSumBlock(p, c, e);
        const __m512i second = pairSumBlock(p + aligned, c + aligned, e + aligned);
        _mm512_storeu_si512(d, first);
        _mm512_storeu_si512(d + aligned, second);
        i = aligned + 64;
    }
    for (; i < last; i += 64) _mm512_storeu_si512(d + i, pairSumBlock(p + i, c + i, e + i));
    _mm512_storeu_si512(d + last, lastBlock);
}
#endif

// The pass of one of those flames in vectors where it applies; false where it does not.
template <int taps> bool fastPassInVectors(const Frame& f) {
#if QUORBEL_AVX2
    if (kernelsInUse == FlameKernels::Avx512Bw && f.w % 64 == 0 && f.w >= 128 &&
        f.w <= fast512::kMaxWidth) {
        fast512::pass<static_cast<fast512::Taps>(taps)>(f.b, f.w, f.h);
        return true;
    }
#endif
    (void)f;
    return false;
}

} // namespace

// Downward, e = N..1: B[e] = qf[B[e] + B[e+W-1] + B[e+W] + B[e+W+1]]. Row by row from the
// bottom: a row's pixels from x = 1 on read only the finished row below; x = 0 reads the last
// pixel of its own row, which the pass has just rewritten.
void flameUpFast() {
    const Frame f = inPlaceFrame();
    uint8_t* b = f.b;
    const int w = f.w;
    b[f.n] = quarterFade[b[f.n] + b[f.n + w - 1] + b[f.n + w] + b[f.n + w + 1]];
    if (fastPassInVectors<0>(f)) return;
    for (int y = f.h - 1; y >= 0; --y) {
        uint8_t* r = b + y * w;
        kernels.fadeSum4(r + 1, r + 1, r + w, r + w + 1, r + w + 2, w - 1);
        if (y > 0) r[0] = quarterFade[r[0] + r[w - 1] + r[w] + r[w + 1]];
    }
}

// Upward, k = 0..N-1: B[k] = qf[B[k+1] + B[k+W] + B[k+W+1] + B[k+2W]].
void flameLeftSlow() {
    const Frame f = inPlaceFrame();
    kernels.fadePairSum4(f.b, f.b + f.w, f.b + 1, f.b + 2 * f.w, f.n);
}

// Downward, e = N..1: B[e] = qf[B[e] + 2 B[e+W+1] + B[e+W]]; all reads lie beyond the row.
void flameLeftFast() {
    const Frame f = inPlaceFrame();
    uint8_t* b = f.b;
    const int w = f.w;
    b[f.n] = quarterFade[b[f.n] + 2 * b[f.n + w + 1] + b[f.n + w]];
    if (fastPassInVectors<2>(f)) return;
    for (int y = f.h - 1; y >= 0; --y) {
        uint8_t* r = b + y * w;
        const int from = y > 0 ? 0 : 1;
        kernels.fadeSum121(r + from, r + from, r + from + w + 1, r + from + w, w - from);
    }
}

// Copying, k = 1..N: D[k] = qf[S[k-1] + S[k+W-1] + S[k+W] + S[k+2W]]. The last pixel's read of
// S[N+2W] lies one byte past the buffer and counts as 0; D[0] is left as it was.
void flameRightSlow() {
    const uint8_t* s = plugin.previousBuffer;
    uint8_t* d = plugin.currentBuffer;
    const int w = plugin.frameWidth, n = w * plugin.frameHeight;
    kernels.fadePairSum4(d + 1, s + w, s, s + 2 * w + 1, n - 1);
    d[n] = quarterFade[s[n - 1] + s[n + w - 1] + s[n + w]];
}

// Downward, e = N..1: B[e] = qf[B[e] + 2 B[e+W-1] + B[e+W]]; as "U-Fa", x = 0 reads its own
// row's rewritten last pixel.
void flameRightFast() {
    const Frame f = inPlaceFrame();
    uint8_t* b = f.b;
    const int w = f.w;
    b[f.n] = quarterFade[b[f.n] + 2 * b[f.n + w - 1] + b[f.n + w]];
    if (fastPassInVectors<1>(f)) return;
    for (int y = f.h - 1; y >= 0; --y) {
        uint8_t* r = b + y * w;
        kernels.fadeSum121Rows(r + 1, r + 1, r + w, r + w + 1, w - 1);
        if (y > 0) r[0] = quarterFade[r[0] + 2 * r[w - 1] + r[w]];
    }
}

namespace {

// "Water" and "Wa-s": the top part rises (k = 0..W+N/2-1 reads the rows below), the bottom
// part from j = N-N/2+1 to N sinks (reads the rows above). The second pass overwrites what
// the first wrote there, so each byte is written once here by the pass that decides it.
template <bool wrapped> void water() {
    const uint8_t* s = plugin.previousBuffer;
    uint8_t* d = plugin.currentBuffer;
    const int w = plugin.frameWidth, n = w * plugin.frameHeight;
    const int bottom = n - n / 2 + 1; // first byte of the sinking part
    const uint8_t* up = s + bottom - w;
    if (wrapped) {
        kernels.fadeWrappedSum4(d, s + w - 1, s + w, s + w + 1, s + 2 * w, bottom);
        kernels.fadeWrappedSum4(d + bottom, up, up + 1, up - w, up - w + 1, n - bottom + 1);
    } else {
        kernels.fadePairSum4(d, s + w - 1, s + w + 1, s + 2 * w, bottom);
        kernels.fadePairSum4(d + bottom, up, up - w, up - w + 1, n - bottom + 1);
    }
}

} // namespace

void flameWater() {
    water<false>();
}
void flameWaterSubtle() {
    water<true>();
}

// Copying, k = 0..N-1: D[k] = qf[S[k+W] + 2 S[k+W+1] + S[k+W+2]].
void flameSkyline() {
    const uint8_t* s = plugin.previousBuffer;
    const int w = plugin.frameWidth;
    kernels.fadeSum121(plugin.currentBuffer, s + w, s + w + 1, s + w + 2, w * plugin.frameHeight);
}

// Copying, k = 1..N: D[k] = qf[S[k+W-1] | S[k+W] | S[k+W+1] | S[k+2W]], S[N+2W] counting as 0.
void flameWeird() {
    const uint8_t* s = plugin.previousBuffer;
    uint8_t* d = plugin.currentBuffer;
    const int w = plugin.frameWidth, n = w * plugin.frameHeight;
    kernels.fadeOr4(d + 1, s + w, s + w + 1, s + w + 2, s + 2 * w + 1, n - 1);
    d[n] = quarterFade[s[n + w - 1] | s[n + w] | s[n + w + 1]];
}

// Upward, k = 0..N-1: B[k] = hf[(B[k+2W] + B[k+W-1]) mod 256].
void flameZzz() {
    const Frame f = inPlaceFrame();
    kernels.halveWrappedSum2(f.b, f.b + 2 * f.w, f.b + f.w - 1, f.n);
}

// In place, e = N..1: each of B[e..e+3] is lowered by 2 (not below 0). The groups overlap, so
// byte i is lowered once for every e in max(1, i-3)..min(N, i): bytes 4..N by 8, bytes 1, 2, 3
// and N+3, N+2, N+1 by 2, 4 and 6, byte 0 not at all.
void flameFade() {
    const Frame f = inPlaceFrame();
    uint8_t* b = f.b;
    for (int i = 1; i <= 3; ++i) kernels.lower(b + i, 2 * i, 1);
    kernels.lower(b + 4, 8, f.n - 3);
    for (int i = 1; i <= 3; ++i) kernels.lower(b + f.n + i, 8 - 2 * i, 1);
}

// Copying: row 0 black, row r+1 = row r of S. The picture falls without fading.
void flameDown() {
    const int w = plugin.frameWidth, n = w * plugin.frameHeight;
    std::memset(plugin.currentBuffer, 0, w);
    std::memcpy(plugin.currentBuffer + w, plugin.previousBuffer, n - w);
}

namespace {

constexpr int kTestMaxWidth = 640; // wider rows take the plain chain
constexpr int kTestSegments = 4;   // chains a row is split into
constexpr int kTestWarmUp = 4;     // steps that narrow an unknown start to two neighbours

// For the row at p (count pixels): sums[i] = p[i+w] + p[i-w] + p[i+2] + p[i] + p[i+1], read
// before the row is rewritten (p[i-w] already holds the rewritten row above).
void testSums(uint16_t* sums, const uint8_t* p, int w, int count) {
    int i = 0;
#if QUORBEL_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8) {
        const auto bytes = [&](int at) {
            return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + at)),
                                     zero);
        };
        const __m128i t =
            _mm_add_epi16(_mm_add_epi16(bytes(i + w), bytes(i - w)),
                          _mm_add_epi16(_mm_add_epi16(bytes(i + 2), bytes(i)), bytes(i + 1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), t);
    }
#endif
    for (; i < count; ++i)
        sums[i] = static_cast<uint16_t>(p[i + w] + p[i - w] + p[i + 2] + p[i] + p[i + 1]);
}

// One row as kTestSegments chains side by side. new = (sum + left) / 6 rises with left, so a chain
// started from 0 and one started from 255 bracket every start; kTestWarmUp steps over the last
// sums of the segment before narrow the two to lo and lo + 1 at most (255 -> 43 -> 8 -> 2 -> 1
// apart). Each segment is then run from both, the chain from lo into the row and the one from
// hi aside; once the segment before is final, its last pixel is the true start and picks one.
void testRowInSegments(uint8_t* p, const uint16_t* sums, int w, unsigned left) {
    constexpr int G = kTestSegments;
    const int length = w / G;
    const int lastEnd = w; // the last segment also takes the remainder w - G * length
    uint8_t aside[kTestMaxWidth];
    unsigned lo[G], hi[G];
    lo[0] = hi[0] = left;
    for (int j = 1; j < G; ++j) {
        unsigned a = 0, b = 255;
        for (int i = j * length - kTestWarmUp; i < j * length; ++i) {
            a = sixth[sums[i] + a];
            b = sixth[sums[i] + b];
        }
        lo[j] = a, hi[j] = b;
    }
    unsigned a[G], b[G];
    for (int j = 0; j < G; ++j) a[j] = lo[j], b[j] = hi[j];
    for (int t = 0; t < length; ++t) {
#pragma GCC unroll 16
        for (int j = 0; j < G; ++j) {
            const int i = j * length + t;
            a[j] = sixth[sums[i] + a[j]];
            b[j] = sixth[sums[i] + b[j]];
            p[i] = static_cast<uint8_t>(a[j]);
            aside[i] = static_cast<uint8_t>(b[j]);
        }
    }
    for (int i = G * length; i < lastEnd; ++i) {
        a[G - 1] = sixth[sums[i] + a[G - 1]];
        b[G - 1] = sixth[sums[i] + b[G - 1]];
        p[i] = static_cast<uint8_t>(a[G - 1]);
        aside[i] = static_cast<uint8_t>(b[G - 1]);
    }
    for (int j = 1; j < G; ++j) {
        const int from = j * length, to = j == G - 1 ? lastEnd : from + length;
        const unsigned start = p[from - 1];
        if (start == lo[j]) continue;
        if (start == hi[j]) {
            std::memcpy(p + from, aside + from, static_cast<size_t>(to - from));
            continue;
        }
        // Not reached (the true start lies between lo and hi); kept so that a wrong bracket
        // could only cost time.
        unsigned v = start;
        for (int i = from; i < to; ++i) p[i] = static_cast<uint8_t>(v = sixth[sums[i] + v]);
    }
}

// One row as a single chain from the last pixel of the row above, in stretches of sums.
void testRowPlain(uint8_t* r, int w) {
    uint16_t sums[kTestMaxWidth];
    unsigned left = r[-1];
    for (int x0 = 0; x0 < w; x0 += kTestMaxWidth) {
        const int count = w - x0 < kTestMaxWidth ? w - x0 : kTestMaxWidth;
        uint8_t* p = r + x0;
        testSums(sums, p, w, count);
        for (int i = 0; i < count; ++i) {
            left = divideBySix(sums[i] + left);
            p[i] = static_cast<uint8_t>(left);
        }
    }
}

#if QUORBEL_AVX2
// "Test" in 512-bit vectors, for rows whose width is a multiple of 64 (up to kTestMaxWidth).
// The rows form one chain in reading order, v = (sum + v before) / 6, the sums taken from the
// old pixels and the rewritten row above. The chain is cut into segments of two pixels, an
// even and an odd one, which run side by side, one per 16-bit lane: loading 64 pixels as
// words puts the even ones in the low bytes and the odd ones in the high bytes.
//
// A segment does not know its start, the end of the segment before. A step rises with its
// start and shrinks a gap of d to at most (d + 5) / 6, so four steps from 0 over the four sums
// before the segment (the two segments before) give lo, and the true start is lo or lo + 1
// (from 255 the same steps would end at most one above lo). The segment is run from both.
// Which one it keeps follows from bits: its m says it takes lo + 1, which is so when the end of
// the segment before differs from lo; with that segment's choice m' this is
// m = a ^ (b & m'), where a says whether the end it reached from its lo differs from this lo,
// and b whether the end from its lo + 1 gives the other answer. The recurrence runs over the
// 32 lanes of a vector by doubling (in one step when no two neighbouring lanes have b set),
// from vector to vector by the top bit, and on from row to row, where the chain goes on.
namespace test512 {

#define TEST512 __attribute__((target("avx512f,avx512bw")))

TEST512 inline __m512i sixth(__m512i s) {
    return _mm512_mulhi_epu16(s, _mm512_set1_epi16(10923));
}
TEST512 inline __m512i step(__m512i sum, __m512i v) {
    return sixth(_mm512_add_epi16(sum, v));
}

// Lane j takes lane j + from of the two sources side by side (the first one's 32 lanes, then
// the second's).
TEST512 inline __m512i lanesFrom(int from) {
    uint16_t index[32];
    for (int j = 0; j < 32; ++j) index[j] = static_cast<uint16_t>(j + from);
    return _mm512_loadu_si512(index);
}

// For 32 segments with sums s0, s1: z, the end of each run from 0, and y, the end of each run
// from the z of the segment before, which is the lo of the segment after. zBefore and yBefore
// are the vector before's.
struct Guesses {
    __m512i z, y, lo;
};
TEST512 inline Guesses guesses(__m512i s0, __m512i s1, __m512i zBefore, __m512i yBefore) {
    const __m512i back1 = lanesFrom(31);
    Guesses g;
    g.z = step(s1, sixth(s0));
    g.y = step(s1, step(s0, _mm512_permutex2var_epi16(zBefore, back1, g.z)));
    g.lo = _mm512_permutex2var_epi16(yBefore, back1, g.y);
    return g;
}

// m = a ^ (b & m before), bit by bit upward, the m before bit 0 being carry.
inline uint32_t choices(uint32_t a, uint32_t b, uint32_t carry) {
    if ((b & (b << 1)) == 0) return a ^ (b & ((a << 1) | carry));
    for (int s = 1; s < 32; s *= 2) {
        a ^= b & (a << s);
        b &= (b << s) | ((1u << s) - 1);
    }
    return a ^ (b & (0u - carry));
}

constexpr int kVectors = kTestMaxWidth / 64;

// The whole pass, row by row, 64 pixels a step. The sums p[i+w] + p[i-w] + p[i+2] + p[i] +
// p[i+1] of the even pixels (s0) and the odd ones (s1): the row above is kept from its pass as
// words, and the even pixels of a row from the pass before it, where they were the row below.
TEST512 void frame(uint8_t* b, int w, int h) {
    const int n = w / 64;
    const __m512i low = _mm512_set1_epi16(0xFF), one = _mm512_set1_epi16(1);
    __m512i aboveEven[kVectors], aboveOdd[kVectors], even[kVectors];
    for (int k = 0; k < n; ++k) {
        const __m512i above = _mm512_loadu_si512(b + 64 * k);
        aboveEven[k] = _mm512_and_si512(above, low);
        aboveOdd[k] = _mm512_srli_epi16(above, 8);
        even[k] = _mm512_and_si512(_mm512_loadu_si512(b + w + 64 * k), low);
    }
    // Row 1's first segments start from row 0's last pixel, which is final and stays: guesses
    // from it are exact.
    __m512i zBefore = _mm512_set1_epi16(b[w - 1]), yBefore = zBefore;
    uint32_t aBelow = 0, cBelow = 0, carry = 0;
    for (int y = 1; y <= h; ++y) {
        uint8_t* const p = b + y * w;
        for (int k = 0; k < n; ++k) {
            uint8_t* const q = p + 64 * k;
            const __m512i below = _mm512_loadu_si512(q + w);
            const __m512i belowEven = _mm512_and_si512(below, low);
            // The byte pairs at q + 1: p[i+1] + p[i+2] of the even pixels, p[i] + p[i+1] of the
            // odd ones.
            const __m512i pairs =
                _mm512_maddubs_epi16(_mm512_loadu_si512(q + 1), _mm512_set1_epi8(1));
            const __m512i s0 = _mm512_add_epi16(_mm512_add_epi16(pairs, even[k]),
                                                _mm512_add_epi16(belowEven, aboveEven[k]));
            const __m512i s1 = _mm512_add_epi16(
                _mm512_add_epi16(pairs, _mm512_srli_epi16(_mm512_loadu_si512(q + 2), 8)),
                _mm512_add_epi16(_mm512_srli_epi16(below, 8), aboveOdd[k]));
            even[k] = belowEven;
            const Guesses g = guesses(s0, s1, zBefore, yBefore);
            zBefore = g.z, yBefore = g.y;
            const __m512i x0 = _mm512_add_epi16(s0, g.lo);
            const __m512i lo0 = sixth(x0), lo1 = step(s1, lo0);
            const __m512i hi0 = sixth(_mm512_add_epi16(x0, one)), hi1 = step(s1, hi0);
            // Lane j: does segment j's end differ from segment j + 1's lo (y, lane j)?
            const uint32_t la = _mm512_cmpneq_epu16_mask(lo1, g.y);
            const uint32_t ha = _mm512_cmpneq_epu16_mask(hi1, g.y);
            const uint32_t a = (la << 1) | aBelow, c = (ha << 1) | cBelow;
            const uint32_t m = choices(a, a ^ c, carry);
            aBelow = la >> 31, cBelow = ha >> 31, carry = m >> 31;
            aboveEven[k] = _mm512_mask_blend_epi16(m, lo0, hi0);
            aboveOdd[k] = _mm512_mask_blend_epi16(m, lo1, hi1);
            _mm512_storeu_si512(q,
                                _mm512_or_si512(aboveEven[k], _mm512_slli_epi16(aboveOdd[k], 8)));
        }
    }
}

} // namespace test512
#endif

#if QUORBEL_AVX2
// The same with AVX2, 32 pixels a step, for rows whose width is a multiple of 32 (up to
// kTestMaxWidth). AVX2 compares give a byte mask, two bits per 16-bit lane, so the choice
// bits go two to a segment, and the recurrence steps by two bits.
namespace test256 {

#define TEST256 __attribute__((target("avx2")))

TEST256 inline __m256i sixth(__m256i s) {
    return _mm256_mulhi_epu16(s, _mm256_set1_epi16(10923));
}
TEST256 inline __m256i step(__m256i sum, __m256i v) {
    return sixth(_mm256_add_epi16(sum, v));
}

TEST256 inline __m256i load(const uint8_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// Lane j: lane j - 1 of cur, lane 15 of before for lane 0.
TEST256 inline __m256i oneUp(__m256i cur, __m256i before) {
    return _mm256_alignr_epi8(cur, _mm256_permute2x128_si256(before, cur, 0x21), 14);
}

// As test512::choices, each segment's bit twice.
inline uint32_t choices(uint32_t a, uint32_t b, uint32_t carry) {
    if ((b & (b << 2)) == 0) return a ^ (b & ((a << 2) | (carry * 3u)));
    for (int s = 2; s < 32; s *= 2) {
        a ^= b & (a << s);
        b &= (b << s) | ((1u << s) - 1);
    }
    return a ^ (b & (0u - carry));
}

// The byte mask of the 32 bits of m.
TEST256 inline __m256i byteMask(uint32_t m) {
    const __m256i spread =
        _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(m)),
                            _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2,
                                             2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
    const __m256i bits = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bits), bits);
}

TEST256 inline uint32_t differs(__m256i a, __m256i b) {
    return ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(a, b)));
}

TEST256 void frame(uint8_t* b, int w, int h) {
    constexpr int kVectors = kTestMaxWidth / 32;
    const int n = w / 32;
    const __m256i low = _mm256_set1_epi16(0xFF), one = _mm256_set1_epi16(1);
    __m256i aboveEven[kVectors], aboveOdd[kVectors], even[kVectors];
    for (int k = 0; k < n; ++k) {
        const __m256i above = load(b + 32 * k);
        aboveEven[k] = _mm256_and_si256(above, low);
        aboveOdd[k] = _mm256_srli_epi16(above, 8);
        even[k] = _mm256_and_si256(load(b + w + 32 * k), low);
    }
    __m256i zBefore = _mm256_set1_epi16(b[w - 1]), yBefore = zBefore;
    uint32_t aBelow = 0, cBelow = 0, carry = 0;
    for (int y = 1; y <= h; ++y) {
        uint8_t* const p = b + y * w;
        for (int k = 0; k < n; ++k) {
            uint8_t* const q = p + 32 * k;
            const __m256i below = load(q + w);
            const __m256i belowEven = _mm256_and_si256(below, low);
            const __m256i pairs = _mm256_maddubs_epi16(load(q + 1), _mm256_set1_epi8(1));
            const __m256i s0 = _mm256_add_epi16(_mm256_add_epi16(pairs, even[k]),
                                                _mm256_add_epi16(belowEven, aboveEven[k]));
            const __m256i s1 =
                _mm256_add_epi16(_mm256_add_epi16(pairs, _mm256_srli_epi16(load(q + 2), 8)),
                                 _mm256_add_epi16(_mm256_srli_epi16(below, 8), aboveOdd[k]));
            even[k] = belowEven;
            const __m256i z = step(s1, sixth(s0));
            const __m256i yv = step(s1, step(s0, oneUp(z, zBefore)));
            const __m256i lo = oneUp(yv, yBefore);
            zBefore = z, yBefore = yv;
            const __m256i x0 = _mm256_add_epi16(s0, lo);
            const __m256i lo0 = sixth(x0), lo1 = step(s1, lo0);
            const __m256i hi0 = sixth(_mm256_add_epi16(x0, one)), hi1 = step(s1, hi0);
            const uint32_t la = differs(lo1, yv), ha = differs(hi1, yv);
            const uint32_t a = (la << 2) | aBelow, c = (ha << 2) | cBelow;
            const uint32_t m = choices(a, a ^ c, carry);
            aBelow = la >> 30, cBelow = ha >> 30, carry = m >> 31;
            const __m256i mask = byteMask(m);
            aboveEven[k] = _mm256_blendv_epi8(lo0, hi0, mask);
            aboveOdd[k] = _mm256_blendv_epi8(lo1, hi1, mask);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(q),
                                _mm256_or_si256(aboveEven[k], _mm256_slli_epi16(aboveOdd[k], 8)));
        }
    }
}

} // namespace test256
#endif

} // namespace

// Upward, e = W..W+N-1: B[e] = (B[e+W] + B[e-W] + B[e+2] + B[e-1] + B[e] + B[e+1]) / 6, where
// B[e-W] and B[e-1] are already rewritten. Row by row: the five terms other than B[e-1] are
// summed for the row (or a stretch of it) before it is rewritten; then the pixels are
// rewritten carrying the new left neighbour, in segments side by side where the row is wide
// enough.
void flameTest() {
    const Frame f = inPlaceFrame();
    const int w = f.w;
#if QUORBEL_AVX2
    if (kernelsInUse == FlameKernels::Avx512Bw && w % 64 == 0 && w <= kTestMaxWidth) {
        test512::frame(f.b, w, f.h);
        return;
    }
    if ((kernelsInUse == FlameKernels::Avx512Bw || kernelsInUse == FlameKernels::Avx2) &&
        w % 32 == 0 && w <= kTestMaxWidth) {
        test256::frame(f.b, w, f.h);
        return;
    }
#endif
    uint16_t sums[kTestMaxWidth];
    const bool segmented = w <= kTestMaxWidth && w >= kTestSegments * kTestWarmUp;
    for (int y = 1; y <= f.h; ++y) {
        uint8_t* r = f.b + y * w;
        if (segmented) {
            testSums(sums, r, w, w);
            testRowInSegments(r, sums, w, r[-1]);
        } else {
            testRowPlain(r, w);
        }
    }
}
