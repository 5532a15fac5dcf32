#pragma once
// Network-namespace test bed: a client namespace and a responder namespace
// of this process's own (unique names), joined by a veth pair, with the
// kernel's echo answering off on the responder side and our ICMP responder
// running there. Everything is removed again by the destructor.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ov::test {

class NetnsPair {
public:
    NetnsPair();
    ~NetnsPair();
    NetnsPair(const NetnsPair&) = delete;
    NetnsPair& operator=(const NetnsPair&) = delete;

    // Creates both namespaces and the link; false (with a reason) on failure.
    bool Create(std::string& error);
    // Runs the responder in its namespace with these options and waits until
    // it listens; a running responder is stopped first.
    bool StartResponder(const std::vector<std::string>& options, std::string& error);
    void StopResponder() noexcept;
    // Moves the calling thread into the client namespace (sockets it opens,
    // and threads it starts, live there) and back.
    bool EnterClient();
    void LeaveClient() noexcept;
    // Lets every group open datagram ICMP sockets, in the client namespace only.
    bool AllowDatagramIcmp();

    // Addresses in network byte order: the responder, and a third node of the
    // link that the responder names as the source of errors and decoys.
    std::uint32_t ResponderAddress() const noexcept;
    std::uint32_t ThirdNodeAddress() const noexcept;
    static constexpr const char* kThirdNode = "10.77.0.250";

    // Whether this process may build network namespaces (root, ip netns).
    static bool Available(std::string& why);

private:
    bool RunIp(const std::vector<std::string>& args, std::string& error);

    std::string m_client;
    std::string m_responder;
    bool m_createdClient = false;
    bool m_createdResponder = false;
    pid_t m_responderPid = -1;
    int m_originalNs = -1;
};

// GoogleTest fixture: skips when namespaces are not available, builds a pair
// and runs the test body inside the client namespace.
class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the responder or fails the test.
    void Respond(const std::vector<std::string>& options);

    NetnsPair net;
};

}  // namespace ov::test
