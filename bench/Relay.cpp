// A delay line between a client and a far server, for measuring what round trips cost.
//
//   quenmarl_bench_relay LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS
//
// Accepts TCP connections on 127.0.0.1:LISTEN_PORT (0: a free port), connects each to
// TARGET_HOST:TARGET_PORT (a TARGET_HOST that begins with a slash is the folder of the
// server's Unix socket, as libpq takes it) and forwards the bytes both ways, each direction delayed
// by DELAY_MS: every byte leaves DELAY_MS after it arrived, in its order, so a stream is delayed
// but not slowed. When one side closes (or fails), the other side's writing half is shut after
// the same delay, once the bytes before it have left; a pair ends when both directions have.
// Prints "listening on PORT" on standard output once it accepts, then runs until killed.
// One thread, poll(2) over every socket; plain POSIX, no Qt.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <list>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Bytes queued in one direction beyond which the relay stops reading that direction's source
// until its destination has taken some: a bound on memory, far above what a delay holds.
constexpr size_t maxQueued = 64u << 20;

struct Chunk {
    Clock::time_point due;
    std::string bytes; // empty: the source closed, shut the destination's writing half
    size_t sent = 0;
};

struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    size_t queued = 0;
    bool sourceClosed = false; // read EOF or error; a close marker is queued
    bool done = false;         // the close marker was delivered
};

struct Pair {
    int client = -1;
    int server = -1;
    Direction up;   // client to server
    Direction down; // server to client
    bool broken = false;
};

void fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

void setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        fail("fcntl");
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int listenOn(int port, int* chosen) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        fail("socket");
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0)
        fail("bind");
    if (listen(fd, 64) < 0)
        fail("listen");
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *chosen = ntohs(address.sin_port);
    setNonBlocking(fd);
    return fd;
}

// A connection to the server's Unix socket in the folder host (as libpq takes a host that
// begins with a slash): FOLDER/.s.PGSQL.PORT.
int connectToFolder(const char* folder, const char* port) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int length =
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/.s.PGSQL.%s", folder, port);
    if (length < 0 || std::size_t(length) >= sizeof address.sun_path)
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    setNonBlocking(fd);
    return fd;
}

// A blocking connect to the target; -1 when it refuses (the client is then closed at once).
int connectTo(const char* host, const char* port) {
    if (host[0] == '/')
        return connectToFolder(host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, port, &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* each = found; each; each = each->ai_next) {
        fd = socket(each->ai_family, each->ai_socktype, each->ai_protocol);
        if (fd >= 0 && connect(fd, each->ai_addr, each->ai_addrlen) == 0)
            break;
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd >= 0)
        setNonBlocking(fd);
    return fd;
}

// Reads what the source has, queuing it (or its close) to leave after the delay.
void readFrom(Direction& direction, Clock::duration delay) {
    char buffer[65536];
    const ssize_t got = recv(direction.from, buffer, sizeof buffer, 0);
    if (got > 0) {
        direction.queue.push_back({Clock::now() + delay, std::string(buffer, size_t(got)), 0});
        direction.queued += size_t(got);
    } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        direction.sourceClosed = true;
        direction.queue.push_back({Clock::now() + delay, std::string(), 0});
    }
}

// Writes what is due; false when the destination failed.
bool writeDue(Direction& direction, Clock::time_point now) {
    while (!direction.queue.empty() && direction.queue.front().due <= now) {
        Chunk& chunk = direction.queue.front();
        if (chunk.bytes.empty()) {
            shutdown(direction.to, SHUT_WR);
            direction.done = true;
            direction.queue.clear();
            return true;
        }
        const ssize_t put = send(direction.to, chunk.bytes.data() + chunk.sent,
                                 chunk.bytes.size() - chunk.sent, MSG_NOSIGNAL);
        if (put < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        chunk.sent += size_t(put);
        direction.queued -= size_t(put);
        if (chunk.sent < chunk.bytes.size())
            return true;
        direction.queue.pop_front();
    }
    return true;
}

short wantedEvents(const Direction& direction, bool forReading, Clock::time_point now) {
    if (forReading)
        return (!direction.sourceClosed && direction.queued < maxQueued) ? POLLIN : 0;
    const bool due = !direction.queue.empty() && direction.queue.front().due <= now;
    return due ? POLLOUT : 0;
}

// The sockets to poll, one entry per socket of every pair, and how long until a queued chunk
// falls due (-1: none is queued).
struct PollSet {
    std::vector<pollfd> fds;
    std::vector<Pair*> owners;
    int timeout = -1;
};

PollSet pollSet(int listener, std::list<Pair>& pairs) {
    const auto now = Clock::now();
    PollSet set;
    set.fds.push_back({listener, POLLIN, 0});
    set.owners.push_back(nullptr);
    auto earliest = Clock::time_point::max();
    for (Pair& pair : pairs) {
        const short client =
            short(wantedEvents(pair.up, true, now) | wantedEvents(pair.down, false, now));
        const short server =
            short(wantedEvents(pair.down, true, now) | wantedEvents(pair.up, false, now));
        set.fds.push_back({pair.client, client, 0});
        set.fds.push_back({pair.server, server, 0});
        set.owners.push_back(&pair);
        set.owners.push_back(&pair);
        for (const Direction* direction : {&pair.up, &pair.down})
            if (!direction->queue.empty() && direction->queue.front().due > now)
                earliest = std::min(earliest, direction->queue.front().due);
    }
    if (earliest != Clock::time_point::max()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - now);
        set.timeout = int(std::max<long long>(0, wait.count()));
    }
    return set;
}

void acceptOne(int listener, const char* host, const char* port, std::list<Pair>& pairs) {
    const int client = accept(listener, nullptr, nullptr);
    if (client < 0)
        return;
    setNonBlocking(client);
    const int server = connectTo(host, port);
    if (server < 0) {
        close(client);
        return;
    }
    Pair& pair = pairs.emplace_back();
    pair.client = client;
    pair.server = server;
    pair.up.from = pair.down.to = client;
    pair.up.to = pair.down.from = server;
}

void writeAndRetire(std::list<Pair>& pairs) {
    const auto now = Clock::now();
    for (auto it = pairs.begin(); it != pairs.end();) {
        if (!writeDue(it->up, now) || !writeDue(it->down, now))
            it->broken = true;
        if (it->broken || (it->up.done && it->down.done)) {
            close(it->client);
            close(it->server);
            it = pairs.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    int port = 0;
    const int listener = listenOn(std::atoi(argv[1]), &port);
    const auto delay = std::chrono::milliseconds(std::atoi(argv[4]));
    std::printf("listening on %d\n", port);
    std::fflush(stdout);

    std::list<Pair> pairs;
    for (;;) {
        PollSet set = pollSet(listener, pairs);
        if (poll(set.fds.data(), set.fds.size(), set.timeout) < 0 && errno != EINTR)
            fail("poll");
        if (set.fds[0].revents & POLLIN)
            acceptOne(listener, argv[2], argv[3], pairs);
        for (size_t i = 1; i < set.fds.size(); ++i) {
            Pair& pair = *set.owners[i];
            Direction& reading = set.fds[i].fd == pair.client ? pair.up : pair.down;
            if ((set.fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && !reading.sourceClosed)
                readFrom(reading, delay);
        }
        writeAndRetire(pairs);
    }
}
