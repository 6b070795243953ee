#include "sdl/mpris.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

// A property of a player's Player interface as a reply message positioned at its variant;
// hung is set when the player did not answer in time.
sd_bus_message* property(sd_bus* bus, const std::string& name, const char* which, bool& hung) {
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int result =
        sd_bus_call_method(bus, name.c_str(), kPath, "org.freedesktop.DBus.Properties", "Get",
                           &error, &reply, "ss", kPlayer, which);
    if (result == -ETIMEDOUT || sd_bus_error_has_name(&error, SD_BUS_ERROR_TIMEOUT) ||
        sd_bus_error_has_name(&error, SD_BUS_ERROR_NO_REPLY))
        hung = true;
    sd_bus_error_free(&error);
    return result < 0 ? nullptr : reply;
}

std::string playbackStatus(sd_bus* bus, const std::string& name, bool& hung) {
    sd_bus_message* reply = property(bus, name, "PlaybackStatus", hung);
    std::string status;
    const char* text = nullptr;
    if (reply && sd_bus_message_read(reply, "v", "s", &text) >= 0 && text) status = text;
    sd_bus_message_unref(reply);
    return status;
}

// xesam:artist (the artists joined with ", ") and xesam:title of a player's Metadata.
std::string titleOf(sd_bus* bus, const std::string& name, bool& hung) {
    sd_bus_message* reply = property(bus, name, "Metadata", hung);
    if (!reply) return "";
    std::string artist, title;
    if (sd_bus_message_enter_container(reply, 'v', "a{sv}") >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "{sv}") >= 0) {
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            const char* key = nullptr;
            if (sd_bus_message_read(reply, "s", &key) < 0 || !key) break;
            const char* type = nullptr;
            sd_bus_message_peek_type(reply, nullptr, &type);
            if (std::strcmp(key, "xesam:title") == 0 && type && std::strcmp(type, "s") == 0) {
                const char* text = nullptr;
                if (sd_bus_message_read(reply, "v", "s", &text) >= 0 && text) title = text;
            } else if (std::strcmp(key, "xesam:artist") == 0 && type &&
                       std::strcmp(type, "as") == 0) {
                sd_bus_message_enter_container(reply, 'v', "as");
                sd_bus_message_enter_container(reply, 'a', "s");
                const char* text = nullptr;
                while (sd_bus_message_read(reply, "s", &text) > 0 && text) {
                    if (!artist.empty()) artist += ", ";
                    artist += text;
                }
                sd_bus_message_exit_container(reply);
                sd_bus_message_exit_container(reply);
            } else {
                sd_bus_message_skip(reply, "v");
            }
            sd_bus_message_exit_container(reply);
        }
    }
    sd_bus_message_unref(reply);
    if (title.empty()) return "";
    return artist.empty() ? title : artist + " - " + title;
}

} // namespace

MprisTitles::~MprisTitles() {
    close();
}

bool MprisTitles::open(std::string& error) {
    close();
    const int result = sd_bus_open_user(&bus_);
    if (result < 0) {
        bus_ = nullptr;
        error = std::strerror(-result);
        return false;
    }
    sd_bus_set_method_call_timeout(bus_, uint64_t(kCallTimeoutMs) * 1000);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = asked_ = fresh_ = false;
    }
    thread_ = std::thread(&MprisTitles::run, this);
    return true;
}

void MprisTitles::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // At most the call under way, which ends at its time-out.
    if (thread_.joinable()) thread_.join();
    // Closed without a flush: a bus that does not read must not hold up the end.
    if (bus_) sd_bus_close_unref(bus_);
    bus_ = nullptr;
}

void MprisTitles::ask() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        asked_ = true;
    }
    wake_.notify_all();
}

bool MprisTitles::take(std::string& title, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeoutMs > 0)
        answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return fresh_; });
    if (!fresh_) return false;
    fresh_ = false;
    title = answer_;
    return true;
}

void MprisTitles::run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return asked_ || stopping_; });
            if (stopping_) return;
            asked_ = false;
        }
        std::string title;
        if (!query(title)) continue; // the bus did not answer: the title stays as it was
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answer_ = title;
            fresh_ = true;
        }
        answered_.notify_all();
    }
}

bool MprisTitles::skipped(const std::string& name) {
    const auto found = skip_.find(name);
    if (found == skip_.end()) return false;
    if (std::chrono::steady_clock::now() < found->second) return true;
    skip_.erase(found);
    return false;
}

void MprisTitles::timedOut(const std::string& name) {
    skip_[name] = std::chrono::steady_clock::now() + std::chrono::seconds(kSkipSeconds);
}

bool MprisTitles::query(std::string& title) {
    title.clear();
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "ListNames", nullptr, &reply, "") < 0)
        return false;
    std::vector<std::string> players;
    if (sd_bus_message_enter_container(reply, 'a', "s") >= 0) {
        const char* name = nullptr;
        while (sd_bus_message_read(reply, "s", &name) > 0 && name)
            if (std::strncmp(name, kPrefix, std::strlen(kPrefix)) == 0 && !skipped(name))
                players.push_back(name);
    }
    sd_bus_message_unref(reply);
    // The first that plays, else the first that answers at all.
    std::string answering;
    for (const std::string& player : players) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return false;
        }
        bool hung = false;
        const std::string status = playbackStatus(bus_, player, hung);
        if (hung) {
            timedOut(player);
            continue;
        }
        if (answering.empty()) answering = player;
        if (status == "Playing") {
            answering = player;
            break;
        }
    }
    if (answering.empty()) return true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
    }
    bool hung = false;
    title = titleOf(bus_, answering, hung);
    if (hung) timedOut(answering);
    return true;
}
