#include "metrics/http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ov::test {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// The status, headers and body of a whole answer.
HttpAnswer Split(const std::string& raw) {
    HttpAnswer answer;
    const std::size_t end = raw.find("\r\n\r\n");
    if (raw.compare(0, 9, "HTTP/1.1 ") != 0 && raw.compare(0, 9, "HTTP/1.0 ") != 0) {
        return answer;
    }
    if (end == std::string::npos) {
        return answer;
    }
    answer.status = std::atoi(raw.c_str() + 9);
    answer.headers = raw.substr(0, end);
    answer.body = raw.substr(end + 4);
    return answer;
}

// One connection of ConcurrentGets.
struct Connection {
    int fd = -1;
    std::string request;
    std::size_t sent = 0;
    std::string raw;
    bool done = false;
};

}  // namespace

HttpAnswer HttpGet(std::uint16_t port, const std::string& path, std::chrono::milliseconds timeout,
                   const std::string& headers) {
    std::vector<HttpAnswer> answers = ConcurrentGets(port, path, 1, timeout, headers);
    return answers.empty() ? HttpAnswer{} : answers.front();
}

std::vector<HttpAnswer> ConcurrentGets(std::uint16_t port, const std::string& path, int count,
                                       std::chrono::milliseconds timeout, const std::string& headers) {
    const auto end = Clock::now() + timeout;
    std::vector<Connection> conns(static_cast<std::size_t>(count));
    const sockaddr_in address = Loopback(port);
    for (Connection& c : conns) {
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        c.request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
        if (c.fd < 0 || (::connect(c.fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
                         errno != EINPROGRESS)) {
            c.done = true;
        }
    }
    std::vector<pollfd> fds;
    std::vector<Connection*> open;
    while (Clock::now() < end) {
        fds.clear();
        open.clear();
        for (Connection& c : conns) {
            if (!c.done) {
                fds.push_back({c.fd, static_cast<short>(c.sent < c.request.size() ? POLLOUT : POLLIN), 0});
                open.push_back(&c);
            }
        }
        if (open.empty()) {
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (::poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(1, left.count()))) < 0 && errno != EINTR) {
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            Connection& c = *open[i];
            if (fds[i].revents == 0) {
                continue;
            }
            if (c.sent < c.request.size()) {
                const ssize_t n = ::send(c.fd, c.request.data() + c.sent, c.request.size() - c.sent, MSG_NOSIGNAL);
                if (n > 0) {
                    c.sent += static_cast<std::size_t>(n);
                } else if (errno != EAGAIN) {
                    c.done = true;
                }
                continue;
            }
            char buf[65536];
            const ssize_t n = ::recv(c.fd, buf, sizeof(buf), 0);
            if (n > 0) {
                c.raw.append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EAGAIN) {
                c.done = true;  // HTTP/1.0: the server closes after the answer
                ::close(c.fd);  // at once, as the server waits for that before it takes the next
                c.fd = -1;
            }
        }
    }
    std::vector<HttpAnswer> answers;
    for (Connection& c : conns) {
        answers.push_back(c.done ? Split(c.raw) : HttpAnswer{});
        if (c.fd >= 0) {
            ::close(c.fd);
        }
    }
    return answers;
}

std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t size = sizeof(a);
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

}  // namespace ov::test
