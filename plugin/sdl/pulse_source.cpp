#include "sdl/pulse_source.h"

#include <pulse/error.h>
#include <pulse/pulseaudio.h>

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kRingFrames = 16384;
// About 1/100 s per fragment, so that a frame sees audio that is at most that old.
constexpr uint32_t kFragmentFrames = 441;
// The capture thread looks at the clock at least this often, and more often while it fills a
// gap with silence (a step shorter than a frame, so that no frame waits for the next step).
constexpr int kTickMicroseconds = 20000;
constexpr int kGapTickMicroseconds = 4000;
// Nothing from the server for this long, and the gap is filled with silence as time passes.
constexpr milliseconds kGap(100);
// A stream that gives nothing for this long is said to be silent (once).
constexpr milliseconds kSilentAfter(1000);
// How long the start and --list-sources wait for the server.
constexpr milliseconds kServerWait(5000);
// Between attempts while the server or the source is away.
constexpr milliseconds kRetry(1000);

// Signed 16-bit stereo at the capture's rate.
pa_sample_spec captureSampleFormat() {
    pa_sample_spec sample;
    sample.format = PA_SAMPLE_S16LE;
    sample.rate = PulseCapture::kRate;
    sample.channels = 2;
    return sample;
}

// Runs loop until done() or the deadline; false at the deadline.
template <class Done> bool iterateUntil(pa_mainloop* loop, Clock::time_point deadline, Done done) {
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (pa_mainloop_prepare(loop, int(std::min<int64_t>(left.count(), 100000))) < 0 ||
            pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

// A connection to the server made while the caller waits (for at most kServerWait).
struct ServerLink {
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;

    ~ServerLink() { close(); }
    void close() {
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop) pa_mainloop_free(loop);
        context = nullptr;
        loop = nullptr;
    }

    bool open(std::string& error) {
        loop = pa_mainloop_new();
        if (!loop) {
            error = "no memory";
            return false;
        }
        context = pa_context_new(pa_mainloop_get_api(loop), "Quorbel");
        if (!context) {
            error = "no memory";
            return false;
        }
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            error = pa_strerror(pa_context_errno(context));
            return false;
        }
        const bool settled = iterateUntil(loop, Clock::now() + kServerWait, [this] {
            return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ||
                   pa_context_get_state(context) == PA_CONTEXT_READY;
        });
        if (settled && pa_context_get_state(context) == PA_CONTEXT_READY) return true;
        error =
            settled ? pa_strerror(pa_context_errno(context)) : "the sound server does not answer";
        return false;
    }

    // The server's sources; false with a reason when it does not answer.
    bool sources(std::vector<std::pair<std::string, std::string>>& out, std::string& error) {
        struct State {
            std::vector<std::pair<std::string, std::string>>* out;
            bool done = false;
        } state{&out};
        pa_operation* op = pa_context_get_source_info_list(
            context,
            [](pa_context*, const pa_source_info* info, int eol, void* data) {
                State* s = static_cast<State*>(data);
                if (eol) {
                    s->done = true;
                    return;
                }
                s->out->emplace_back(info->name ? info->name : "",
                                     info->description ? info->description : "");
            },
            &state);
        if (!op) {
            error = pa_strerror(pa_context_errno(context));
            return false;
        }
        const bool answered = iterateUntil(loop, Clock::now() + kServerWait, [&] {
            return state.done || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context));
        });
        pa_operation_cancel(op);
        pa_operation_unref(op);
        if (!answered || !state.done) {
            error = answered ? pa_strerror(pa_context_errno(context))
                             : "the sound server does not answer";
            return false;
        }
        return true;
    }

    // 1 when the server has the source, 0 when it has none of that name, -1 when it does not
    // answer (error says why).
    int hasSource(const std::string& name, std::string& error) {
        struct State {
            int found = -1;
        } state;
        pa_operation* op = pa_context_get_source_info_by_name(
            context, name.c_str(),
            [](pa_context*, const pa_source_info*, int eol, void* data) {
                State* s = static_cast<State*>(data);
                if (eol < 0)
                    s->found = 0;
                else if (eol == 0)
                    s->found = 1;
                else if (s->found < 0)
                    s->found = 0;
            },
            &state);
        if (!op) {
            error = pa_strerror(pa_context_errno(context));
            return -1;
        }
        const bool answered = iterateUntil(loop, Clock::now() + kServerWait, [&] {
            return state.found >= 0 || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context));
        });
        pa_operation_cancel(op);
        pa_operation_unref(op);
        if (state.found == 0 && pa_context_errno(context) != PA_ERR_NOENTITY) {
            error = pa_strerror(pa_context_errno(context));
            return -1;
        }
        if (!answered || state.found < 0) {
            error = answered ? pa_strerror(pa_context_errno(context))
                             : "the sound server does not answer";
            return -1;
        }
        return state.found;
    }
};

} // namespace

PulseCapture::~PulseCapture() {
    stop();
}

PulseCapture::Start PulseCapture::start(const std::string& source, std::string& error) {
    source_ = source.empty() ? "@DEFAULT_MONITOR@" : source;
    ring_.sampleRate = kRate;
    ring_.samples[0].assign(kRingFrames, 0);
    ring_.samples[1].assign(kRingFrames, 0);
    // The server first, while the caller waits: a missing server is known before the window
    // opens, and a source named by the user must be one of its own.
    ServerLink link;
    if (!link.open(error)) return Start::NoServer;
    // Names in @...@ are the server's own (its defaults); it resolves them when they are used.
    if (!source.empty() && source[0] != '@') {
        const int found = link.hasSource(source, error);
        if (found < 0) return Start::NoServer;
        if (found == 0) {
            std::vector<std::pair<std::string, std::string>> sources;
            std::string names;
            if (link.sources(sources, error))
                for (const auto& entry : sources)
                    names += (names.empty() ? "" : ", ") + entry.first;
            error =
                "the sound server has no source " + source +
                (names.empty() ? std::string(" (and lists none)") : "; its sources are: " + names);
            return Start::UnknownSource;
        }
    }
    loop_ = link.loop;
    context_ = link.context;
    link.loop = nullptr;
    link.context = nullptr;
    pa_context_set_state_callback(
        context_,
        [](pa_context*, void* self) { static_cast<PulseCapture*>(self)->onContextState(); }, this);
    const Clock::time_point now = Clock::now();
    lastSound_ = heardSince_ = nextAttempt_ = now;
    soundMark_ = 0;
    stopping_ = false;
    thread_ = std::thread(&PulseCapture::run, this);
    return Start::Capturing;
}

void PulseCapture::stop() {
    stopping_ = true;
    // The thread polls with a short time-out and never waits on the server; the wake-up only
    // saves it the rest of its poll.
    if (loop_) pa_mainloop_wakeup(loop_);
    if (thread_.joinable()) thread_.join();
    dropContext();
    if (loop_) pa_mainloop_free(loop_);
    loop_ = nullptr;
}

void PulseCapture::run() {
    if (context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) openStream();
    while (!stopping_) {
        const bool gap = Clock::now() - lastSound_ > kGap;
        if (pa_mainloop_prepare(loop_, gap ? kGapTickMicroseconds : kTickMicroseconds) < 0) break;
        pa_mainloop_poll(loop_); // an interrupted or failed poll is only a shorter wait
        pa_mainloop_dispatch(loop_);
        tick(Clock::now());
    }
    dropContext();
}

void PulseCapture::connectContext() {
    context_ = pa_context_new(pa_mainloop_get_api(loop_), "Quorbel");
    if (!context_) return;
    pa_context_set_state_callback(
        context_,
        [](pa_context*, void* self) { static_cast<PulseCapture*>(self)->onContextState(); }, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) dropContext();
}

void PulseCapture::openStream() {
    const pa_sample_spec sample = captureSampleFormat();
    stream_ = pa_stream_new(context_, "visualisation", &sample, nullptr);
    if (!stream_) return;
    pa_stream_set_state_callback(
        stream_, [](pa_stream*, void* self) { static_cast<PulseCapture*>(self)->onStreamState(); },
        this);
    pa_stream_set_read_callback(
        stream_, [](pa_stream*, size_t, void* self) { static_cast<PulseCapture*>(self)->onRead(); },
        this);
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = kFragmentFrames * 4;
    if (pa_stream_connect_record(stream_, source_.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) < 0)
        lost(pa_strerror(pa_context_errno(context_)));
}

void PulseCapture::dropStream() {
    if (!stream_) return;
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    streaming_ = false;
}

void PulseCapture::dropContext() {
    dropStream();
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

// The stream (or the whole server) is gone: said once, and tried again every second. The
// stream is dropped at the next tick, outside its own callbacks.
void PulseCapture::lost(const std::string& why) {
    if (!saidGone_) {
        note(everStreamed_ ? "sound source " + source_ + " went away (" + why + "); trying again"
                           : "sound source " + source_ + ": " + why + "; trying again");
        saidGone_ = true;
    }
    saidSilent_ = false;
    streaming_ = false;
    nextAttempt_ = Clock::now() + kRetry;
}

void PulseCapture::onContextState() {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) {
        if (!stream_) openStream();
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        lost(pa_strerror(pa_context_errno(context_)));
    }
}

void PulseCapture::onStreamState() {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) {
        streaming_ = true;
        heardSince_ = Clock::now();
        if (saidGone_)
            note("sound source " + source_ + ": capturing");
        else if (!everStreamed_)
            note("sound source " + source_ + ": capturing", true);
        saidGone_ = false;
        everStreamed_ = true;
    } else if (!PA_STREAM_IS_GOOD(state)) {
        lost(pa_strerror(pa_context_errno(context_)));
    }
}

void PulseCapture::onRead() {
    while (stream_ && pa_stream_readable_size(stream_) > 0) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) break;
        // A hole in the stream (data null) is silence of its length.
        append(static_cast<const int16_t*>(data), bytes / 4);
        pa_stream_drop(stream_);
    }
}

void PulseCapture::append(const int16_t* frames, size_t count) {
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Only the newest ring's worth stays.
        const size_t skip = count > size_t(kRingFrames) ? count - kRingFrames : 0;
        captured_ += int64_t(skip);
        for (size_t f = skip; f < count; ++f) {
            const size_t at = size_t(captured_ % kRingFrames);
            ring_.samples[0][at] = frames ? frames[2 * f] : 0;
            ring_.samples[1][at] = frames ? frames[2 * f + 1] : 0;
            ++captured_;
        }
        soundMark_ = captured_;
    }
    lastSound_ = heardSince_ = now;
    arrived_.notify_all();
    if (saidSilent_) {
        note("sound source " + source_ + ": capturing");
        saidSilent_ = false;
    }
}

void PulseCapture::tick(Clock::time_point now) {
    // Gone: dropped here, then tried again once a second (the server first, then the source).
    if (context_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
        dropContext();
    else if (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))
        dropStream();
    if (now >= nextAttempt_) {
        if (!context_) {
            nextAttempt_ = now + kRetry;
            connectContext();
        } else if (!stream_ && pa_context_get_state(context_) == PA_CONTEXT_READY) {
            nextAttempt_ = now + kRetry;
            openStream();
        }
    }
    // Silence while nothing comes, at the sound's rate from the newest sound.
    if (now - lastSound_ > kGap) {
        const int64_t elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(now - lastSound_).count();
        bool added = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const int64_t due = soundMark_ + elapsed * kRate / 1000000;
            for (; captured_ < due; ++captured_) {
                const size_t at = size_t(captured_ % kRingFrames);
                ring_.samples[0][at] = 0;
                ring_.samples[1][at] = 0;
                added = true;
            }
        }
        if (added) arrived_.notify_all();
    }
    if (streaming_ && !saidSilent_ && now - heardSince_ > kSilentAfter) {
        note("no sound from " + source_ +
             ": the sound server sends nothing; showing silence "
             "until it does");
        saidSilent_ = true;
    }
}

int64_t PulseCapture::captured() {
    std::lock_guard<std::mutex> lock(mutex_);
    return captured_;
}

int64_t PulseCapture::waitFor(int64_t frames, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, milliseconds(timeoutMs), [&] { return captured_ >= frames; });
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

void PulseCapture::note(const std::string& text, bool quiet) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({text, quiet});
}

std::vector<PulseCapture::Message> PulseCapture::messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Message> taken;
    taken.swap(messages_);
    return taken;
}

bool listPulseSources(std::vector<std::pair<std::string, std::string>>& sources,
                      std::string& error) {
    ServerLink link;
    return link.open(error) && link.sources(sources, error);
}
