#pragma once
// A scripted ICMP echo provider for tests: each IcmpSendEcho takes the next
// scripted outcome (or the default one), records the request and honours
// IcmpCancelEcho. Load() can be made to fail and an export can be withheld.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/icmp.h"

namespace ov::test {

// One scripted outcome of IcmpSendEcho.
struct FakeReply {
    DWORD roundTripTime = 1;                       // reported RoundTripTime
    DWORD status = IP_SUCCESS;                     // reported Status
    BYTE ttl = 64;                                 // reported Options.Ttl
    DWORD delayMs = 0;                             // how long the call takes before it answers
    bool noReply = false;                          // wait the whole timeout, then return 0
    DWORD roundTripUs = ov::icmp::kNoRoundTripUs;  // IcmpSendEchoUs's microseconds, if any
};

// What one IcmpSendEcho call was given.
struct FakeRequest {
    IPAddr destination = 0;
    std::vector<BYTE> data;
    IP_OPTION_INFORMATION options{};
    DWORD replySize = 0;
    DWORD timeoutMs = 0;
};

class FakeIcmpProvider final : public ov::icmp::Provider {
public:
    explicit FakeIcmpProvider(std::string name = "fake");
    ~FakeIcmpProvider() override;

    const char* Name() const override { return m_name.c_str(); }
    bool Load() override;
    void* GetProc(const char* exportName) override;
    void Unload() override;

    // Makes Load() fail with errno EACCES, as a socket the system refuses does.
    void SetLoadFails(bool fails);
    // Withholds one export ("" withholds none).
    void SetMissingExport(std::string exportName);
    // Makes IcmpCreateFile return INVALID_HANDLE_VALUE with errno EACCES, as
    // a socket the system refuses does.
    void SetCreateFails(bool fails);
    // While held, IcmpCreateFile waits (release before deleting a host that
    // waits there).
    void HoldCreates(bool hold);
    // Waits until at least n IcmpCreateFile calls have begun; false on timeout.
    bool WaitForCreates(int n, std::chrono::milliseconds timeout) const;
    // Appends outcomes for the next requests.
    void Script(std::vector<FakeReply> replies);
    // Outcome used when the script is exhausted.
    void SetDefault(const FakeReply& reply);
    // Outcomes for requests to one destination (network byte order), taken in
    // turn and begun again at the end; before the script and the default.
    void SetDestinationCycle(IPAddr destination, std::vector<FakeReply> replies);

    int LoadCalls() const;
    int UnloadCalls() const;
    int CreateCalls() const;
    int CloseCalls() const;
    int CancelCalls() const;
    // IcmpSendEcho calls that have begun.
    std::size_t SendCalls() const;
    // Echo calls still waiting for their outcome.
    int SendsInProgress() const;
    std::vector<FakeRequest> Requests() const;
    // Waits until at least n sends have begun; false on timeout.
    bool WaitForSends(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    struct Handle;
    static HANDLE CreateFileEntry();
    static BOOL CloseHandleEntry(HANDLE handle);
    static DWORD SendEchoEntry(HANDLE handle, IPAddr destination, void* requestData, WORD requestSize,
                               IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize, DWORD timeoutMs);
    static DWORD SendEchoUsEntry(HANDLE handle, IPAddr destination, void* requestData, WORD requestSize,
                                 IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize, DWORD timeoutMs,
                                 DWORD* roundTripUs);
    static BOOL CancelEchoEntry(HANDLE handle);

    const std::string m_name;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
    bool m_loadFails = false;
    bool m_createFails = false;
    bool m_holdCreates = false;
    std::string m_missingExport;
    std::deque<FakeReply> m_script;
    FakeReply m_default;
    struct Cycle {
        IPAddr destination = 0;
        std::vector<FakeReply> replies;
        std::size_t next = 0;
    };
    std::vector<Cycle> m_cycles;
    std::vector<FakeRequest> m_requests;
    std::vector<std::unique_ptr<Handle>> m_handles;
    int m_loads = 0;
    int m_unloads = 0;
    int m_creates = 0;
    int m_closes = 0;
    int m_cancels = 0;
    int m_inProgress = 0;
};

// Installs providers as the ones BindPingServices tries; restores the default
// list and unbinds on destruction.
class ProviderScope {
public:
    explicit ProviderScope(std::vector<ov::icmp::Provider*> providers);
    ~ProviderScope();
    ProviderScope(const ProviderScope&) = delete;
    ProviderScope& operator=(const ProviderScope&) = delete;
};

}  // namespace ov::test
