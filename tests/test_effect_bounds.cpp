// Every wave and every flame at every resolution, with random audio and random starting
// frames, keeps to its memory: the frame buffers and the audio block lie against inaccessible
// pages (first with their ends against one, then their starts), so any read or write outside
// faults, and everything an effect may not write is checked unchanged afterwards.
#include "effects_support.h"
#include "base/guard.h"
#include "effects/objects.h"
#include "base/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// size bytes lying directly against an inaccessible page after them (or before them).
class GuardedBlock {
  public:
    GuardedBlock(size_t size, bool guardAfter) : size_(size) {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        inner_ = (size + page_ - 1) / page_ * page_;
        total_ = inner_ + 2 * page_;
        base_ = static_cast<uint8_t*>(
            mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_, page_, PROT_NONE);
        mprotect(base_ + page_ + inner_, page_, PROT_NONE);
        data_ = guardAfter ? base_ + page_ + inner_ - size : base_ + page_;
        std::fill(base_ + page_, base_ + page_ + inner_, kCanary);
    }
    ~GuardedBlock() { munmap(base_, total_); }
    uint8_t* data() { return data_; }
    // True when the bytes of the page next to the block (on its unguarded side) are intact.
    bool slackIntact() const {
        for (const uint8_t* p = base_ + page_; p < base_ + page_ + inner_; ++p)
            if ((p < data_ || p >= data_ + size_) && *p != kCanary) return false;
        return true;
    }
    static constexpr uint8_t kCanary = 0xA5;

  private:
    size_t size_, page_, inner_, total_;
    uint8_t* base_;
    uint8_t* data_;
};

// Music-like or odd audio blocks: silence, noise of any loudness, single loud bursts, and
// blocks at the extremes, so that the beat-driven waves see beats and V = 0.
void fillAudio(std::mt19937& rng, uint8_t* audio) {
    switch (rng() % 5) {
    case 0:
        std::fill(audio, audio + kAudioBlockSize, 0);
        break;
    case 1:
        std::fill(audio, audio + kAudioBlockSize, static_cast<uint8_t>(rng()));
        break;
    case 2: {
        const int amplitude = 1 + rng() % 256;
        for (int i = 0; i < kAudioBlockSize; ++i)
            audio[i] = static_cast<uint8_t>(rng() % amplitude);
        break;
    }
    case 3:
        for (int i = 0; i < kAudioBlockSize; ++i) audio[i] = i % 2 ? 0 : 255;
        break;
    default:
        for (int i = 0; i < kAudioBlockSize; ++i) audio[i] = static_cast<uint8_t>(rng());
    }
}

struct Buffers {
    Buffers(const Resolution& r, bool guardAfter)
        : size(static_cast<size_t>(r.w) * (r.h + 2)), a(size, guardAfter), b(size, guardAfter),
          audio(kAudioBlockSize, guardAfter) {}
    size_t size;
    GuardedBlock a, b, audio;
};

std::string describe(const char* kind, const char* name, const Resolution& r, bool after) {
    return std::string(kind) + " " + name + " at " + std::to_string(r.w) + "x" +
           std::to_string(r.h) + (after ? " (ends guarded)" : " (starts guarded)");
}

} // namespace

TEST(EffectBounds, WavesWriteOnlyTheImageAndReadOnlyTheAudioBlock) {
    std::mt19937 rng(17);
    std::string manySegments;
    for (int i = 0; i < 900; ++i)
        manySegments += std::to_string(static_cast<int>(rng() % 2000) - 1000) + "," +
                        std::to_string(rng() % 50) + ",0 - 3,4," + std::to_string(rng() % 9) + "\n";
    for (const Resolution& r : kResolutions) {
        for (bool after : {true, false}) {
            TestFrame frame(r.w, r.h);
            Buffers buffers(r, after);
            const size_t n = static_cast<size_t>(r.w) * r.h;
            auto unchanged = [](const uint8_t* from, const uint8_t* to, uint8_t value) {
                return std::all_of(from, to, [value](uint8_t b) { return b == value; });
            };
            for (int wave = 0; wave < kWaveCount; ++wave) {
                resetEffectState();
                uint8_t* frameBytes = buffers.a.data();
                for (size_t i = 0; i < n; ++i) frameBytes[i] = static_cast<uint8_t>(rng());
                std::fill(frameBytes + n, frameBytes + buffers.size, 0x5A);
                std::fill(buffers.b.data(), buffers.b.data() + buffers.size, 0x3C);
                if (wave == 18) {
                    setHostDirectory(std::string(QUORBEL_SOURCE_DIR) + "/data/");
                    ASSERT_TRUE(loadLetterObject('W'));
                }
                const std::string what = describe("wave", waveTable[wave].name, r, after);
                for (int f = 0; f < 60; ++f) {
                    if (wave == 18 && f == 30) {
                        // An object with more segments than the frame is wide.
                        std::FILE* file = std::fopen("/tmp/quorbel_bounds_many.obj", "w");
                        std::fputs(manySegments.c_str(), file);
                        std::fclose(file);
                        ASSERT_TRUE(loadLetterObjectFile("/tmp/quorbel_bounds_many.obj"));
                    }
                    plugin.sampleBias = rng() % 2 ? 0x80 : 0;
                    plugin.waveScale = rng() % 4;
                    plugin.currentWave = wave;
                    plugin.currentBuffer = buffers.a.data();
                    plugin.previousBuffer = buffers.b.data();
                    fillAudio(rng, buffers.audio.data());
                    const bool ran = guarded(nullptr, __LINE__, [&] {
                        waveTable[wave].wave(frameBytes, buffers.audio.data());
                    });
                    ASSERT_TRUE(ran) << what << " faulted in frame " << f;
                    ASSERT_TRUE(unchanged(frameBytes + n, frameBytes + buffers.size, 0x5A))
                        << what << ": wrote a guard row";
                    ASSERT_TRUE(unchanged(buffers.b.data(), buffers.b.data() + buffers.size, 0x3C))
                        << what << ": wrote the previous buffer";
                    ASSERT_TRUE(buffers.a.slackIntact()) << what;
                    ASSERT_TRUE(buffers.audio.slackIntact()) << what;
                }
            }
            std::remove("/tmp/quorbel_bounds_many.obj");
            setHostDirectory("");
        }
    }
}

TEST(EffectBounds, FlamesStayInsideTheBuffersAndTheirGuardRow) {
    std::mt19937 rng(23);
    for (const Resolution& r : kResolutions) {
        for (bool after : {true, false}) {
            TestFrame frame(r.w, r.h);
            Buffers buffers(r, after);
            const size_t n = static_cast<size_t>(r.w) * r.h;
            for (int flame = 0; flame < kFlameCount; ++flame) {
                const std::string what = describe("flame", flameTable[flame].name, r, after);
                for (int f = 0; f < 3; ++f) {
                    uint8_t* s = buffers.b.data();
                    uint8_t* d = buffers.a.data();
                    for (size_t i = 0; i < buffers.size; ++i) {
                        s[i] = static_cast<uint8_t>(rng());
                        d[i] = static_cast<uint8_t>(rng());
                    }
                    const std::vector<uint8_t> sBefore(s, s + buffers.size),
                        dBefore(d, d + buffers.size);
                    plugin.currentBuffer = d;
                    plugin.previousBuffer = s;
                    const bool ran = guarded(nullptr, __LINE__, [&] { flameTable[flame].flame(); });
                    ASSERT_TRUE(ran) << what << " faulted";
                    ASSERT_TRUE((plugin.currentBuffer == d && plugin.previousBuffer == s) ||
                                (plugin.currentBuffer == s && plugin.previousBuffer == d))
                        << what;
                    const uint8_t* other = plugin.previousBuffer;
                    const std::vector<uint8_t>& otherBefore = other == s ? sBefore : dBefore;
                    const std::vector<uint8_t>& newBefore = other == s ? dBefore : sBefore;
                    ASSERT_TRUE(std::equal(other, other + buffers.size, otherBefore.begin()))
                        << what << ": wrote the other buffer";
                    const uint8_t* written = plugin.currentBuffer;
                    ASSERT_TRUE(std::equal(written + n + r.w, written + buffers.size,
                                           newBefore.begin() + n + r.w))
                        << what << ": wrote the last guard row";
                    ASSERT_TRUE(buffers.a.slackIntact() && buffers.b.slackIntact()) << what;
                }
            }
        }
    }
}
