#include "bench/wan/slow_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace bench {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// The relay's own sends must not wait for more data (Nagle): the delay is
// the one chosen, nothing more.
void NoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

SlowLink::SlowLink(int target_port) : target_port_(target_port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(0);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        throw std::runtime_error("slow link: cannot listen on 127.0.0.1");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

SlowLink::~SlowLink() {
    stop_ = true;
    const char byte = 0;
    (void)!::write(wake_[1], &byte, 1);
    thread_.join();
    for (Pair& pair : pairs_) Close(pair);
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void SlowLink::Accept() {
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(target_port_);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::close(server);
        ::close(client);
        return;
    }
    for (int fd : {client, server}) {
        NoDelay(fd);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    Pair pair;
    pair.to_server = {client, server, {}};
    pair.to_client = {server, client, {}};
    pairs_.push_back(std::move(pair));
}

void SlowLink::Close(Pair& pair) {
    if (pair.closed) return;
    ::close(pair.to_server.from);
    ::close(pair.to_server.to);
    pair.closed = true;
}

bool SlowLink::Read(Pair& pair, Direction& direction, bool from_client) {
    Chunk chunk;
    chunk.bytes.resize(65536);
    const ssize_t got = ::recv(direction.from, chunk.bytes.data(), chunk.bytes.size(), 0);
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (got == 0) return false;
    chunk.bytes.resize(static_cast<size_t>(got));
    if (from_client && pair.server_spoke_last) ++round_trips_;
    pair.server_spoke_last = !from_client;
    chunk.due = Clock::now() + std::chrono::microseconds(delay_us_.load());
    direction.queue.push_back(std::move(chunk));
    return true;
}

bool SlowLink::Flush(Direction& direction, Clock::time_point now) {
    direction.blocked = false;
    size_t done = 0;
    for (; done < direction.queue.size() && direction.queue[done].due <= now; ++done) {
        Chunk& chunk = direction.queue[done];
        while (chunk.sent < chunk.bytes.size()) {
            const ssize_t sent = ::send(direction.to, chunk.bytes.data() + chunk.sent,
                                        chunk.bytes.size() - chunk.sent, MSG_NOSIGNAL);
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                direction.blocked = true;
                break;
            }
            if (sent <= 0) return false;
            chunk.sent += static_cast<size_t>(sent);
        }
        if (chunk.sent < chunk.bytes.size()) break;  // the rest when the socket has room
    }
    direction.queue.erase(direction.queue.begin(),
                          direction.queue.begin() + static_cast<std::ptrdiff_t>(done));
    return true;
}

void SlowLink::Run() {
    while (!stop_) {
        const Clock::time_point now = Clock::now();
        // Wake when data arrives, when a full socket has room again, for the
        // next chunk that falls due, or at the latest in 50 ms.
        Clock::time_point wake = now + std::chrono::milliseconds(50);
        std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (Pair& pair : pairs_) {
            for (Direction* d : {&pair.to_server, &pair.to_client}) {
                fds.push_back({d->from, POLLIN, 0});
                if (d->blocked) fds.push_back({d->to, POLLOUT, 0});
                if (!d->queue.empty()) wake = std::min(wake, d->queue.front().due);
            }
        }
        const auto wait = std::max(Clock::duration::zero(), wake - now);
        const timespec timeout{
            static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(wait).count()),
            static_cast<long>((wait % std::chrono::seconds(1)) / std::chrono::nanoseconds(1))};
        if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0) continue;
        if (fds[1].revents & POLLIN) Accept();

        for (Pair& pair : pairs_) {
            if (pair.closed) continue;
            // The client's bytes first: within one wake-up they were sent
            // before the server could answer them.
            bool open = Read(pair, pair.to_server, true) && Read(pair, pair.to_client, false);
            const Clock::time_point sent_at = Clock::now();
            open = open && Flush(pair.to_server, sent_at) && Flush(pair.to_client, sent_at);
            if (!open) Close(pair);
        }
        std::erase_if(pairs_, [](const Pair& pair) { return pair.closed; });
    }
}

}  // namespace bench
