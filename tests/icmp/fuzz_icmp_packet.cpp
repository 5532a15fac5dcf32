// Fuzzes the checks of received ICMP packets: no read outside the packet, and
// any echoed data handed back lies inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../../platform/src/icmp_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) {
        return 0;
    }
    const auto id = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    const auto seq = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
    IPAddr destination;
    std::memcpy(&destination, data + 4, 4);
    const auto* packet = reinterpret_cast<const std::byte*>(data + 8);
    const std::size_t length = size - 8;
    using namespace ov::icmp::detail;
    for (const Match& m : {ParseRawPacket(packet, length, destination, id, seq),
                           ParseDatagramPacket(packet, length, destination, destination, id, seq)}) {
        if (!m.found || m.status != IP_SUCCESS) {
            continue;
        }
        if (m.data < packet || m.data + m.dataSize > packet + length) {
            std::abort();
        }
    }
    return 0;
}
