#include "sdl/mpris.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <vector>

namespace {

constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

// A property of a player's Player interface as a reply message positioned at its variant.
sd_bus_message* property(sd_bus* bus, const std::string& name, const char* which) {
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, name.c_str(), kPath, "org.freedesktop.DBus.Properties", "Get",
                           nullptr, &reply, "ss", kPlayer, which) < 0)
        return nullptr;
    return reply;
}

std::string playbackStatus(sd_bus* bus, const std::string& name) {
    sd_bus_message* reply = property(bus, name, "PlaybackStatus");
    std::string status;
    const char* text = nullptr;
    if (reply && sd_bus_message_read(reply, "v", "s", &text) >= 0 && text) status = text;
    sd_bus_message_unref(reply);
    return status;
}

// xesam:artist (the artists joined with ", ") and xesam:title of a player's Metadata.
std::string titleOf(sd_bus* bus, const std::string& name) {
    sd_bus_message* reply = property(bus, name, "Metadata");
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
    if (bus_) sd_bus_flush_close_unref(bus_);
}

bool MprisTitles::open(std::string& error) {
    const int result = sd_bus_open_user(&bus_);
    if (result < 0) {
        bus_ = nullptr;
        error = std::strerror(-result);
        return false;
    }
    // A player that hangs must not hold up the frames for long.
    sd_bus_set_method_call_timeout(bus_, 250000);
    return true;
}

std::string MprisTitles::query() {
    if (!bus_) return "";
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "ListNames", nullptr, &reply, "") < 0)
        return "";
    std::vector<std::string> players;
    if (sd_bus_message_enter_container(reply, 'a', "s") >= 0) {
        const char* name = nullptr;
        while (sd_bus_message_read(reply, "s", &name) > 0 && name)
            if (std::strncmp(name, kPrefix, std::strlen(kPrefix)) == 0) players.push_back(name);
    }
    sd_bus_message_unref(reply);
    if (players.empty()) return "";
    for (const std::string& player : players)
        if (playbackStatus(bus_, player) == "Playing") return titleOf(bus_, player);
    return titleOf(bus_, players.front());
}
