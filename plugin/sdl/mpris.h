// Song titles for system sound: the media player that plays, asked over the session D-Bus
// through its media-player interface (MPRIS, org.mpris.MediaPlayer2.*), with sd-bus.
#pragma once
#include <string>

struct sd_bus;

class MprisTitles {
  public:
    ~MprisTitles();
    // Connects to the session bus; false with a reason where there is none.
    bool open(std::string& error);
    // "Artist - Title" (or the title alone) of the first player that plays, else of the first
    // player there is; "" without a bus, a player or a title.
    std::string query();

  private:
    sd_bus* bus_ = nullptr;
};
