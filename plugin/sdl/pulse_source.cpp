#include "sdl/pulse_source.h"

#include <pulse/error.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>

#include <chrono>

namespace {

constexpr int kRingFrames = 16384;
// About 1/100 s per read, so that a frame sees audio that is at most that old.
constexpr size_t kReadFrames = 441;

// Signed 16-bit stereo at the capture's rate.
pa_sample_spec captureSampleFormat() {
    pa_sample_spec sample;
    sample.format = PA_SAMPLE_S16LE;
    sample.rate = PulseCapture::kRate;
    sample.channels = 2;
    return sample;
}

pa_simple* connect(const std::string& source, int& code) {
    const pa_sample_spec sample = captureSampleFormat();
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(kReadFrames * 4);
    return pa_simple_new(nullptr, "Quorbel", PA_STREAM_RECORD,
                         source.empty() ? "@DEFAULT_MONITOR@" : source.c_str(), "visualisation",
                         &sample, nullptr, &attr, &code);
}

bool noServer(int code) {
    return code == PA_ERR_CONNECTIONREFUSED || code == PA_ERR_INVALIDSERVER ||
           code == PA_ERR_CONNECTIONTERMINATED || code == PA_ERR_ACCESS ||
           code == PA_ERR_NOTSUPPORTED || code == PA_ERR_VERSION || code == PA_ERR_TIMEOUT ||
           code == PA_ERR_AUTHKEY || code == PA_ERR_PROTOCOL;
}

} // namespace

PulseCapture::~PulseCapture() {
    stop();
}

bool PulseCapture::start(const std::string& source, std::string& error) {
    source_ = source.empty() ? "@DEFAULT_MONITOR@" : source;
    ring_.sampleRate = kRate;
    ring_.samples[0].assign(kRingFrames, 0);
    ring_.samples[1].assign(kRingFrames, 0);
    // The first connection here, so that a missing server is known before the window opens.
    int code = 0;
    pa_simple* first = connect(source, code);
    if (!first && noServer(code)) {
        error = pa_strerror(code);
        return false;
    }
    if (!first) note("sound source " + source_ + ": " + pa_strerror(code) + "; trying again");
    stopping_ = false;
    thread_ = std::thread([this, first] {
        pa_simple* stream = first;
        std::vector<int16_t> block(kReadFrames * 2);
        bool missing = stream == nullptr;
        while (!stopping_) {
            if (!stream) {
                // Once a second, until it is there (or the run ends).
                for (int i = 0; i < 10 && !stopping_; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (stopping_) break;
                int again = 0;
                stream = connect(source_ == "@DEFAULT_MONITOR@" ? "" : source_, again);
                if (!stream) continue;
                if (missing) note("sound source " + source_ + ": capturing");
                missing = false;
            }
            int readCode = 0;
            if (pa_simple_read(stream, block.data(), block.size() * 2, &readCode) < 0) {
                note("sound source " + source_ + " went away (" + pa_strerror(readCode) +
                     "); trying again");
                pa_simple_free(stream);
                stream = nullptr;
                missing = true;
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (size_t f = 0; f < kReadFrames; ++f) {
                    const size_t at = size_t(captured_ % kRingFrames);
                    ring_.samples[0][at] = block[2 * f];
                    ring_.samples[1][at] = block[2 * f + 1];
                    ++captured_;
                }
            }
            arrived_.notify_all();
        }
        if (stream) pa_simple_free(stream);
    });
    return true;
}

void PulseCapture::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

int64_t PulseCapture::waitFor(int64_t frames, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return captured_ >= frames; });
    return captured_;
}

void PulseCapture::fill(int64_t endSample, unsigned char waveform[2][576],
                        unsigned char spectrum[2][576]) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endSample > captured_) endSample = captured_;
    // Older than the ring holds, or not captured yet, is silence: a copy of the window with
    // what is not there set to 0 keeps the blocks' code the same as for a clip.
    AudioClip window;
    window.sampleRate = kRate;
    window.samples[0].assign(kSpectrumWindow, 0);
    window.samples[1].assign(kSpectrumWindow, 0);
    for (int n = 0; n < kSpectrumWindow; ++n) {
        const int64_t index = endSample - kSpectrumWindow + n;
        if (index < 0 || index < captured_ - kRingFrames) continue;
        window.samples[0][size_t(n)] = ring_.samples[0][size_t(index % kRingFrames)];
        window.samples[1][size_t(n)] = ring_.samples[1][size_t(index % kRingFrames)];
    }
    fillVisData(window, kSpectrumWindow, waveform, spectrum);
}

void PulseCapture::note(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
}

std::vector<std::string> PulseCapture::messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(messages_);
    return taken;
}

bool listPulseSources(std::vector<std::pair<std::string, std::string>>& sources,
                      std::string& error) {
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop) {
        error = "no memory";
        return false;
    }
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Quorbel");
    struct State {
        std::vector<std::pair<std::string, std::string>>* sources;
        bool done = false;
        bool failed = false;
        int code = 0;
    } state;
    state.sources = &sources;
    pa_context_set_state_callback(
        context,
        [](pa_context* c, void* data) {
            State* s = static_cast<State*>(data);
            const pa_context_state_t now = pa_context_get_state(c);
            if (now == PA_CONTEXT_READY) {
                pa_operation* op = pa_context_get_source_info_list(
                    c,
                    [](pa_context*, const pa_source_info* info, int eol, void* d) {
                        State* st = static_cast<State*>(d);
                        if (eol) {
                            st->done = true;
                            return;
                        }
                        st->sources->emplace_back(info->name ? info->name : "",
                                                  info->description ? info->description : "");
                    },
                    s);
                if (op) pa_operation_unref(op);
            } else if (now == PA_CONTEXT_FAILED || now == PA_CONTEXT_TERMINATED) {
                s->failed = true;
                s->code = pa_context_errno(c);
            }
        },
        &state);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        state.failed = true;
        state.code = pa_context_errno(context);
    }
    while (!state.done && !state.failed)
        if (pa_mainloop_iterate(loop, 1, nullptr) < 0) break;
    if (state.failed) error = pa_strerror(state.code);
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return state.done;
}
