// ICMP echo responder for the network-namespace tests. Runs where the
// kernel's own echo answering is off and answers every echo request itself:
// after a chosen delay, losing a share of them, with a chosen time-to-live,
// or with an unreachable / time-exceeded error instead of a reply.
//
//   ov_icmp_responder [--delay=MS] [--loss=P] [--seed=N] [--ttl=N|mirror]
//                     [--error=unreach[:CODE]|ttl] [--error-from=ADDR] [--decoys]
//
// --decoys sends, before each answer, three packets a client must ignore: a
// reply with the previous sequence number, a reply with another identifier,
// and a reply from another source address (--error-from, default 10.0.0.250).
// Prints "ready" on standard output once it listens; ends on SIGTERM/SIGINT.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Packet = std::vector<std::uint8_t>;

volatile sig_atomic_t g_stop = 0;

struct Options {
    int delayMs = 0;
    double loss = 0.0;
    unsigned seed = 1;
    int ttl = 64;        // -1: mirror the request's TTL
    int errorType = -1;  // 3 unreachable, 11 time exceeded
    int errorCode = 0;
    in_addr_t errorFrom = 0;  // 0: the request's destination
    in_addr_t decoyFrom = htonl(0x0a0000fa);
    bool decoys = false;
};

struct Pending {
    Clock::time_point due;
    Packet packet;  // whole IP packet, or only the ICMP message when ttl >= 0
    in_addr_t to;
    int ttl = -1;  // >= 0: sent from our own address, fragmented as needed
    bool operator>(const Pending& o) const { return due > o.due; }
};

std::uint16_t Checksum(const std::uint8_t* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        sum += (p[i] << 8) | p[i + 1];
    }
    if (n & 1) {
        sum += p[n - 1] << 8;
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

// An IPv4 packet around an ICMP message; the kernel fills in the header
// checksum, total length and identification.
void SetChecksum(Packet& icmp) {
    icmp[2] = icmp[3] = 0;
    const std::uint16_t sum = Checksum(icmp.data(), icmp.size());
    icmp[2] = static_cast<std::uint8_t>(sum >> 8);
    icmp[3] = static_cast<std::uint8_t>(sum & 0xff);
}

Packet IpPacket(in_addr_t from, in_addr_t to, int ttl, Packet icmp) {
    SetChecksum(icmp);
    Packet p(20, 0);
    p[0] = 0x45;
    p[8] = static_cast<std::uint8_t>(ttl);
    p[9] = IPPROTO_ICMP;
    std::memcpy(&p[12], &from, 4);
    std::memcpy(&p[16], &to, 4);
    p.insert(p.end(), icmp.begin(), icmp.end());
    return p;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            const std::size_t n = std::strlen(name);
            return a.compare(0, n, name) == 0 ? argv[i] + n : nullptr;
        };
        if (const char* v = value("--delay=")) {
            o.delayMs = std::atoi(v);
        } else if (const char* v = value("--loss=")) {
            o.loss = std::atof(v);
        } else if (const char* v = value("--seed=")) {
            o.seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        } else if (const char* v = value("--ttl=")) {
            o.ttl = std::strcmp(v, "mirror") == 0 ? -1 : std::atoi(v);
        } else if (const char* v = value("--error=")) {
            if (std::strncmp(v, "unreach", 7) == 0) {
                o.errorType = 3;
                o.errorCode = v[7] == ':' ? std::atoi(v + 8) : 1;
            } else if (std::strcmp(v, "ttl") == 0) {
                o.errorType = 11;
                o.errorCode = 0;
            } else {
                return false;
            }
        } else if (const char* v = value("--error-from=")) {
            if (inet_pton(AF_INET, v, &o.errorFrom) != 1) {
                return false;
            }
            o.decoyFrom = o.errorFrom;
        } else if (a == "--decoys") {
            o.decoys = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--delay=MS] [--loss=P] [--seed=N] [--ttl=N|mirror] "
                     "[--error=unreach[:CODE]|ttl] [--error-from=ADDR] [--decoys]\n",
                     argv[0]);
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = [](int) { g_stop = 1; };
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    const int in = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    const int out = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (in < 0 || out < 0) {
        std::perror("socket");
        return 1;
    }
    // Answers from our own address leave through the ICMP socket, which
    // fragments them like any reply to a large request.
    const int noDf = IP_PMTUDISC_DONT;
    setsockopt(in, SOL_IP, IP_MTU_DISCOVER, &noDf, sizeof noDf);
    // Real-time priority keeps the answer delays exact on a busy machine.
    sched_param priority{};
    priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO, &priority);
    std::printf("ready\n");
    std::fflush(stdout);

    std::mt19937 random(o.seed);
    std::bernoulli_distribution lose(o.loss);
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> queue;
    std::uint8_t buffer[65536];

    while (!g_stop) {
        int timeout = -1;
        if (!queue.empty()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(queue.top().due - Clock::now());
            timeout = wait.count() < 0 ? 0 : static_cast<int>(wait.count());
        }
        pollfd fd{in, POLLIN, 0};
        const int ready = poll(&fd, 1, timeout);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        // Send what is due; a busy wait covers the last millisecond so that
        // the delay is kept to well under one millisecond.
        while (!queue.empty() && queue.top().due <= Clock::now() + std::chrono::milliseconds(1)) {
            while (Clock::now() < queue.top().due) {
            }
            const Pending& p = queue.top();
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = p.to;
            if (p.ttl >= 0) {
                setsockopt(in, SOL_IP, IP_TTL, &p.ttl, sizeof p.ttl);
            }
            sendto(p.ttl >= 0 ? in : out, p.packet.data(), p.packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to);
            queue.pop();
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = recv(in, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 28) {
            continue;
        }
        const std::size_t ihl = (buffer[0] & 0xf) * 4u;
        if (ihl < 20 || static_cast<std::size_t>(n) < ihl + 8 || buffer[ihl] != 8) {
            continue;  // only echo requests
        }
        const auto now = Clock::now();
        if (lose(random)) {
            continue;
        }
        in_addr_t source, destination;
        std::memcpy(&source, &buffer[12], 4);
        std::memcpy(&destination, &buffer[16], 4);
        const Packet request(buffer + ihl, buffer + n);
        const auto due = now + std::chrono::milliseconds(o.delayMs);
        if (o.errorType >= 0) {
            Packet icmp(8, 0);
            icmp[0] = static_cast<std::uint8_t>(o.errorType);
            icmp[1] = static_cast<std::uint8_t>(o.errorCode);
            icmp.insert(icmp.end(), buffer, buffer + ihl + 8);  // quoted header + 8 bytes
            queue.push({due, IpPacket(o.errorFrom ? o.errorFrom : destination, source, 64, icmp), source});
            continue;
        }
        const int ttl = o.ttl < 0 ? buffer[8] : o.ttl;
        Packet reply = request;
        reply[0] = 0;  // echo reply
        if (o.decoys) {
            Packet stale = reply;
            const std::uint16_t seq = static_cast<std::uint16_t>(((reply[6] << 8) | reply[7]) - 1);
            stale[6] = static_cast<std::uint8_t>(seq >> 8);
            stale[7] = static_cast<std::uint8_t>(seq & 0xff);
            Packet foreign = reply;
            foreign[4] ^= 0x55;
            queue.push({due, IpPacket(destination, source, ttl, stale), source});
            queue.push({due, IpPacket(destination, source, ttl, foreign), source});
            queue.push({due, IpPacket(o.decoyFrom, source, ttl, reply), source});
        }
        // Decoys go first: equal due times keep no order, so the answer waits
        // 1 ms more than them.
        SetChecksum(reply);
        queue.push({o.decoys ? due + std::chrono::milliseconds(1) : due, reply, source, ttl});
    }
    return 0;
}
