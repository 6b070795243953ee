#include "sound.h"

#include <windows.h>
#include <mmsystem.h>

#include <vector>

namespace {
constexpr int kBuffers = 4;
constexpr int kBufferFrames = 4096;
} // namespace

struct SoundOutput::State {
    const AudioClip* clip = nullptr;
    HWAVEOUT device = nullptr;
    HANDLE event = nullptr;
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
    CRITICAL_SECTION lock;
    int64_t cursor = 0;
    int64_t pendingSeek = -1;
    WAVEHDR headers[kBuffers] = {};
    std::vector<int16_t> buffers[kBuffers];

    void fill(int i) {
        EnterCriticalSection(&lock);
        if (pendingSeek >= 0) cursor = pendingSeek, pendingSeek = -1;
        LeaveCriticalSection(&lock);
        const size_t frames = clip->frameCount();
        std::vector<int16_t>& b = buffers[i];
        for (int n = 0; n < kBufferFrames; ++n) {
            size_t at = size_t((cursor + n) % int64_t(frames));
            b[2 * n] = clip->samples[0][at];
            b[2 * n + 1] = clip->samples[1][at];
        }
        cursor += kBufferFrames;
        headers[i].dwFlags &= ~WHDR_DONE;
        waveOutWrite(device, &headers[i], sizeof(WAVEHDR));
    }

    static DWORD WINAPI feeder(void* param) {
        State* s = static_cast<State*>(param);
        try {
            for (int i = 0; i < kBuffers; ++i) s->fill(i);
            while (!s->stop) {
                WaitForSingleObject(s->event, 100);
                for (int i = 0; i < kBuffers && !s->stop; ++i)
                    if (s->headers[i].dwFlags & WHDR_DONE) s->fill(i);
            }
        } catch (...) {
        }
        return 0;
    }
};

bool SoundOutput::start(const AudioClip& clip, int64_t startSample, std::string& reason) {
    stop();
    if (clip.frameCount() == 0) {
        reason = "no audio";
        return false;
    }
    if (waveOutGetNumDevs() == 0) {
        reason = "no sound device";
        return false;
    }
    State* s = new State;
    InitializeCriticalSection(&s->lock);
    s->clip = &clip;
    s->cursor = startSample < 0 ? 0 : startSample;
    s->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = DWORD(clip.sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 4;
    MMRESULT r =
        waveOutOpen(&s->device, WAVE_MAPPER, &format, DWORD_PTR(s->event), 0, CALLBACK_EVENT);
    if (r != MMSYSERR_NOERROR) {
        reason = "waveOutOpen failed with " + std::to_string(unsigned(r));
        CloseHandle(s->event);
        DeleteCriticalSection(&s->lock);
        delete s;
        return false;
    }
    for (int i = 0; i < kBuffers; ++i) {
        s->buffers[i].assign(size_t(kBufferFrames) * 2, 0);
        s->headers[i].lpData = reinterpret_cast<LPSTR>(s->buffers[i].data());
        s->headers[i].dwBufferLength = DWORD(kBufferFrames * 4);
        waveOutPrepareHeader(s->device, &s->headers[i], sizeof(WAVEHDR));
    }
    s->thread = CreateThread(nullptr, 0, State::feeder, s, 0, nullptr);
    SetThreadPriority(s->thread, THREAD_PRIORITY_ABOVE_NORMAL);
    state_ = s;
    return true;
}

void SoundOutput::seek(int64_t sample) {
    if (!state_) return;
    EnterCriticalSection(&state_->lock);
    state_->pendingSeek = sample < 0 ? 0 : sample;
    LeaveCriticalSection(&state_->lock);
}

void SoundOutput::stop() {
    State* s = state_;
    if (!s) return;
    state_ = nullptr;
    InterlockedExchange(&s->stop, 1);
    SetEvent(s->event);
    WaitForSingleObject(s->thread, INFINITE);
    CloseHandle(s->thread);
    waveOutReset(s->device);
    for (int i = 0; i < kBuffers; ++i)
        waveOutUnprepareHeader(s->device, &s->headers[i], sizeof(WAVEHDR));
    waveOutClose(s->device);
    CloseHandle(s->event);
    DeleteCriticalSection(&s->lock);
    delete s;
}
