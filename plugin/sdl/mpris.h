// Song titles for system sound: the media player that plays, asked over the session D-Bus
// through its media-player interface (MPRIS, org.mpris.MediaPlayer2.*), with sd-bus.
//
// The players are asked on a thread of their own, each call with a short time-out, so that a
// player that never answers costs the frames nothing; such a player is left out of the next
// questions for a while.
#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

struct sd_bus;

class MprisTitles {
  public:
    // How long one call waits for its answer.
    static constexpr int kCallTimeoutMs = 250;
    // How long a player that did not answer is left out.
    static constexpr int kSkipSeconds = 30;

    ~MprisTitles();
    // Connects to the session bus and starts the asking thread; false with a reason where
    // there is no bus.
    bool open(std::string& error);
    void close();
    // Asks the players again (on the thread; returns at once).
    void ask();
    // The newest answer not taken yet, waiting for it at most timeoutMs (0: not at all); false
    // when there is none. An answer is "Artist - Title" (or the title alone) of the first player
    // that plays, else of the first player there is; "" without a player or a title.
    bool take(std::string& title, int timeoutMs = 0);

  private:
    void run();
    // The title as the players give it; false when the bus itself did not answer.
    bool query(std::string& title);
    bool skipped(const std::string& name);
    void timedOut(const std::string& name);

    sd_bus* bus_ = nullptr; // the thread's once it runs
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_, answered_;
    bool stopping_ = false; // guarded by mutex_, as are the three below
    bool asked_ = false;
    bool fresh_ = false;
    std::string answer_;
    // The thread's own: players that did not answer, until when they are left out.
    std::map<std::string, std::chrono::steady_clock::time_point> skip_;
};
