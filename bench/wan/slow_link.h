#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace bench {

// A TCP relay on 127.0.0.1 in front of a server port that plays a distant
// server: every chunk is held for a chosen time in each direction (order
// kept), and the relay counts round trips. A round trip is a burst from the
// client followed by a burst from the server; the client sending again
// after the server answered starts the next one. Deferred packets the
// client library sends together with the next request cost nothing here,
// as on a real slow link.
class SlowLink {
  public:
    explicit SlowLink(int target_port);
    ~SlowLink();
    SlowLink(const SlowLink&) = delete;
    SlowLink& operator=(const SlowLink&) = delete;

    int Port() const { return port_; }
    // Applies to chunks read from now on.
    void SetDelayEachWay(std::chrono::microseconds delay) { delay_us_ = delay.count(); }
    // Starts counting afresh. Call it while the link is quiet: the client
    // has its answer, so its next burst is round trip 1.
    void ResetCount() { round_trips_ = 0; }
    long RoundTrips() const { return round_trips_; }

  private:
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        Clock::time_point due;
        std::vector<char> bytes;
        size_t sent = 0;
    };
    // One direction of one connection: what was read and is not yet sent.
    struct Direction {
        int from;
        int to;
        std::vector<Chunk> queue;  // in arrival order; front sent first
        bool blocked = false;      // the receiving socket had no room
    };
    struct Pair {
        Direction to_server;
        Direction to_client;
        bool server_spoke_last = true;  // so the client's first burst counts
        bool closed = false;
    };

    void Run();
    void Accept();
    // Reads what is waiting, if anything; false when the sending side is gone.
    bool Read(Pair& pair, Direction& direction, bool from_client);
    // Sends every chunk that is due; false when the receiving side is gone.
    bool Flush(Direction& direction, Clock::time_point now);
    void Close(Pair& pair);

    int target_port_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<long> delay_us_{0};
    std::atomic<long> round_trips_{0};
    std::atomic<bool> stop_{false};
    std::vector<Pair> pairs_;  // relay thread only
    std::thread thread_;
};

}  // namespace bench
