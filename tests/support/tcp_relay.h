#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace test_support {

// A TCP relay on 127.0.0.1 between the program and a server: the link a
// test can break. Passing, it forwards both ways; stalled, it keeps every
// connection open and forwards nothing (a host that stopped answering);
// cut, it closes every connection and refuses new ones; restored, it passes
// again (a server that came back). It can also lose one direction of the
// connections open now, while later ones pass: what the server answers (a
// commit that went through, its answer lost) or what the program sends.
class TcpRelay {
  public:
    explicit TcpRelay(int target_port);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    int Port() const { return port_; }
    void Stall() { mode_ = kStalled; }
    void Cut() { mode_ = kCut; }
    void Restore() { mode_ = kPassing; }
    // Both take effect before they return.
    void LoseAnswersOfOpenConnections() { LoseOnOpenConnections(kAnswers); }
    void LoseRequestsOfOpenConnections() { LoseOnOpenConnections(kRequests); }
    // Connections accepted so far.
    int Accepted() const { return accepted_; }

  private:
    enum Mode { kPassing, kStalled, kCut };
    enum Lost { kRequests = 1, kAnswers = 2 };
    struct Pair {
        int client;
        int server;
        int lost = 0;  // Lost bits: read and dropped instead of forwarded
    };
    void LoseOnOpenConnections(Lost lost);
    void Run();
    void Accept();
    void CloseAll();

    int target_port_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<Mode> mode_{kPassing};
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> lose_{0};  // asked of the relay thread, 0 once done
    std::vector<Pair> pairs_;   // relay thread only
    std::thread thread_;
};

}  // namespace test_support
