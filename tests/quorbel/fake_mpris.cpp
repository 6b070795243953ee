// A media player on the session bus for quorbel's tests: it owns org.mpris.MediaPlayer2.NAME
// and answers the Player interface's PlaybackStatus ("Playing") and Metadata. Metadata is
// FIRST (artist and title, "Artist - Title") the first time it is asked for and SECOND from
// then on, so that a test sees a song change at quorbel's second look. Prints "ready" once it
// owns the name. With --hung it owns the name and never answers anything (a player that hangs),
// until its standard input ends.
//
//   quorbel_fake_mpris NAME FIRST SECOND
//   quorbel_fake_mpris --hung NAME
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
std::string first, second;
int asked = 0;

void split(const std::string& text, std::string& artist, std::string& title) {
    const size_t dash = text.find(" - ");
    artist = dash == std::string::npos ? "" : text.substr(0, dash);
    title = dash == std::string::npos ? text : text.substr(dash + 3);
}

int status(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
           sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "Playing");
}

int metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
    std::string artist, title;
    split(asked++ == 0 ? first : second, artist, title);
    return sd_bus_message_append(reply, "a{sv}", 3, "xesam:title", "s", title.c_str(),
                                 "xesam:artist", "as", 1, artist.c_str(), "mpris:length", "x",
                                 int64_t(180000000));
}

const sd_bus_vtable kPlayer[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", status, 0, 0),
    SD_BUS_PROPERTY("Metadata", "a{sv}", metadata, 0, 0),
    SD_BUS_VTABLE_END,
};
} // namespace

int main(int argc, char** argv) {
    const bool hung = argc == 3 && std::strcmp(argv[1], "--hung") == 0;
    if (argc != 4 && !hung) {
        std::fprintf(stderr, "usage: quorbel_fake_mpris NAME FIRST SECOND | --hung NAME\n");
        return 2;
    }
    if (hung) ++argv;
    first = hung ? "" : argv[2];
    second = hung ? "" : argv[3];
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) {
        std::fprintf(stderr, "quorbel_fake_mpris: no session bus\n");
        return 1;
    }
    if (sd_bus_add_object_vtable(bus, nullptr, "/org/mpris/MediaPlayer2",
                                 "org.mpris.MediaPlayer2.Player", kPlayer, nullptr) < 0)
        return 1;
    const std::string name = std::string("org.mpris.MediaPlayer2.") + argv[1];
    if (sd_bus_request_name(bus, name.c_str(), 0) < 0) {
        std::fprintf(stderr, "quorbel_fake_mpris: cannot own %s\n", name.c_str());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    if (hung) {
        // Owns the name, reads nothing from the bus.
        char buffer[256];
        while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
        }
        sd_bus_close_unref(bus);
        return 0;
    }
    for (;;) {
        const int r = sd_bus_process(bus, nullptr);
        if (r < 0) return 1;
        if (r == 0 && sd_bus_wait(bus, uint64_t(-1)) < 0) return 1;
    }
}
