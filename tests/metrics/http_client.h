#pragma once
// A small HTTP/1.0 client on loopback for the probe's tests: one request at
// a time, or many at once over non-blocking sockets.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ov::test {

struct HttpAnswer {
    int status = 0;  // 0: no answer (refused, reset, timed out)
    std::string headers;
    std::string body;
};

// GET path from 127.0.0.1:port, with headers ("Name: value\r\n" each) added;
// gives up after timeout.
HttpAnswer HttpGet(std::uint16_t port, const std::string& path,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10), const std::string& headers = {});

// count GETs of path at the same time, each on its own connection, all
// connected before any answer is read; the answers in order.
std::vector<HttpAnswer> ConcurrentGets(std::uint16_t port, const std::string& path, int count,
                                       std::chrono::milliseconds timeout, const std::string& headers = {});

// A port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreePort();

}  // namespace ov::test
