#include "tests/support/tcp_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace test_support {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Sends all of it, or gives up (the other side went).
bool SendAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= sent;
    }
    return true;
}

}  // namespace

TcpRelay::TcpRelay(int target_port) : target_port_(target_port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(0);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        throw std::runtime_error("relay: cannot listen on 127.0.0.1");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

TcpRelay::~TcpRelay() {
    stop_ = true;
    const char byte = 0;
    (void)!::write(wake_[1], &byte, 1);
    thread_.join();
    CloseAll();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void TcpRelay::LoseOnOpenConnections(Lost lost) {
    lose_ = lost;
    const char byte = 0;
    (void)!::write(wake_[1], &byte, 1);
    while (lose_.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TcpRelay::CloseAll() {
    for (const Pair& p : pairs_) {
        ::close(p.client);
        ::close(p.server);
    }
    pairs_.clear();
}

void TcpRelay::Accept() {
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    ++accepted_;
    if (mode_ == kCut) {
        ::close(client);
        return;
    }
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(target_port_);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::close(server);
        ::close(client);
        return;
    }
    pairs_.push_back({client, server});
}

void TcpRelay::Run() {
    // Polls every 50 ms as well, so a change of mode takes effect promptly.
    constexpr int kTickMs = 50;
    while (!stop_) {
        if (mode_ == kCut) CloseAll();
        std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        const bool passing = mode_ == kPassing;
        for (const Pair& p : pairs_) {
            fds.push_back({p.client, static_cast<short>(passing ? POLLIN : 0), 0});
            fds.push_back({p.server, static_cast<short>(passing ? POLLIN : 0), 0});
        }
        if (::poll(fds.data(), fds.size(), kTickMs) < 0) continue;
        if (fds[0].revents & POLLIN) {
            char drained[64];
            (void)!::read(wake_[0], drained, sizeof drained);
        }
        if (const int lost = lose_.load(); lost != 0) {
            for (Pair& p : pairs_) p.lost |= lost;
            lose_ = 0;
        }
        if (fds[1].revents & POLLIN) Accept();
        if (!passing) continue;
        std::vector<Pair> kept;
        for (size_t i = 0; i < fds.size() - 2 && i / 2 < pairs_.size(); i += 2) {
            const Pair p = pairs_[i / 2];
            bool open = true;
            const pollfd& from_client = fds[2 + i];
            const pollfd& from_server = fds[3 + i];
            char buffer[65536];
            if (from_client.revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t got = ::recv(p.client, buffer, sizeof buffer, 0);
                open = got > 0 && ((p.lost & kRequests) != 0 || SendAll(p.server, buffer, got));
            }
            if (open && (from_server.revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t got = ::recv(p.server, buffer, sizeof buffer, 0);
                open = got > 0 && ((p.lost & kAnswers) != 0 || SendAll(p.client, buffer, got));
            }
            if (open) {
                kept.push_back(p);
            } else {
                ::close(p.client);
                ::close(p.server);
            }
        }
        // Pairs accepted during this round were not polled: keep them.
        for (size_t i = (fds.size() - 2) / 2; i < pairs_.size(); ++i) kept.push_back(pairs_[i]);
        pairs_ = std::move(kept);
    }
}

}  // namespace test_support
