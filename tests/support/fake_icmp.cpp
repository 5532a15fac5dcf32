#include "support/fake_icmp.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "PingServices.h"

namespace ov::test {

// A handle knows its provider, since the entry points are plain functions.
struct FakeIcmpProvider::Handle {
    FakeIcmpProvider* owner = nullptr;
    bool cancelled = false;
};

namespace {

// The provider whose entry points are bound; set by Load, cleared by Unload.
std::mutex g_activeLock;
FakeIcmpProvider* g_active = nullptr;

}  // namespace

FakeIcmpProvider::FakeIcmpProvider(std::string name) : m_name(std::move(name)) {}

FakeIcmpProvider::~FakeIcmpProvider() {
    std::lock_guard lock(g_activeLock);
    if (g_active == this) {
        g_active = nullptr;
    }
}

bool FakeIcmpProvider::Load() {
    std::lock_guard lock(m_mutex);
    ++m_loads;
    if (m_loadFails) {
        errno = EACCES;
        return false;
    }
    std::lock_guard active(g_activeLock);
    g_active = this;
    return true;
}

void* FakeIcmpProvider::GetProc(const char* exportName) {
    std::lock_guard lock(m_mutex);
    if (exportName == nullptr || m_missingExport == exportName) {
        return nullptr;
    }
    if (std::strcmp(exportName, "IcmpCreateFile") == 0) {
        return reinterpret_cast<void*>(&CreateFileEntry);
    }
    if (std::strcmp(exportName, "IcmpCloseHandle") == 0) {
        return reinterpret_cast<void*>(&CloseHandleEntry);
    }
    if (std::strcmp(exportName, "IcmpSendEcho") == 0) {
        return reinterpret_cast<void*>(&SendEchoEntry);
    }
    if (std::strcmp(exportName, "IcmpSendEchoUs") == 0) {
        return reinterpret_cast<void*>(&SendEchoUsEntry);
    }
    if (std::strcmp(exportName, "IcmpCancelEcho") == 0) {
        return reinterpret_cast<void*>(&CancelEchoEntry);
    }
    return nullptr;
}

void FakeIcmpProvider::Unload() {
    std::lock_guard lock(m_mutex);
    ++m_unloads;
    std::lock_guard active(g_activeLock);
    if (g_active == this) {
        g_active = nullptr;
    }
}

void FakeIcmpProvider::SetLoadFails(bool fails) {
    std::lock_guard lock(m_mutex);
    m_loadFails = fails;
}

void FakeIcmpProvider::SetMissingExport(std::string exportName) {
    std::lock_guard lock(m_mutex);
    m_missingExport = std::move(exportName);
}

void FakeIcmpProvider::SetCreateFails(bool fails) {
    std::lock_guard lock(m_mutex);
    m_createFails = fails;
}

void FakeIcmpProvider::HoldCreates(bool hold) {
    std::lock_guard lock(m_mutex);
    m_holdCreates = hold;
    m_cond.notify_all();
}

bool FakeIcmpProvider::WaitForCreates(int n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cond.wait_for(lock, timeout, [&] { return m_creates >= n; });
}

void FakeIcmpProvider::Script(std::vector<FakeReply> replies) {
    std::lock_guard lock(m_mutex);
    m_script.insert(m_script.end(), replies.begin(), replies.end());
}

void FakeIcmpProvider::SetDefault(const FakeReply& reply) {
    std::lock_guard lock(m_mutex);
    m_default = reply;
}

void FakeIcmpProvider::SetDestinationCycle(IPAddr destination, std::vector<FakeReply> replies) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_cycles, [destination](const Cycle& c) { return c.destination == destination; });
    if (!replies.empty()) {
        m_cycles.push_back(Cycle{destination, std::move(replies), 0});
    }
}

int FakeIcmpProvider::LoadCalls() const {
    std::lock_guard lock(m_mutex);
    return m_loads;
}

int FakeIcmpProvider::UnloadCalls() const {
    std::lock_guard lock(m_mutex);
    return m_unloads;
}

int FakeIcmpProvider::CreateCalls() const {
    std::lock_guard lock(m_mutex);
    return m_creates;
}

int FakeIcmpProvider::CloseCalls() const {
    std::lock_guard lock(m_mutex);
    return m_closes;
}

int FakeIcmpProvider::CancelCalls() const {
    std::lock_guard lock(m_mutex);
    return m_cancels;
}

std::size_t FakeIcmpProvider::SendCalls() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

int FakeIcmpProvider::SendsInProgress() const {
    std::lock_guard lock(m_mutex);
    return m_inProgress;
}

std::vector<FakeRequest> FakeIcmpProvider::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool FakeIcmpProvider::WaitForSends(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cond.wait_for(lock, timeout, [&] { return m_requests.size() >= n; });
}

HANDLE FakeIcmpProvider::CreateFileEntry() {
    FakeIcmpProvider* self = nullptr;
    {
        std::lock_guard active(g_activeLock);
        self = g_active;
    }
    if (self == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    std::unique_lock lock(self->m_mutex);
    ++self->m_creates;
    self->m_cond.notify_all();
    self->m_cond.wait(lock, [self] { return !self->m_holdCreates; });
    if (self->m_createFails) {
        errno = EACCES;
        return INVALID_HANDLE_VALUE;
    }
    self->m_handles.push_back(std::make_unique<Handle>());
    self->m_handles.back()->owner = self;
    return self->m_handles.back().get();
}

BOOL FakeIcmpProvider::CloseHandleEntry(HANDLE handle) {
    auto* h = static_cast<Handle*>(handle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    FakeIcmpProvider* self = h->owner;
    std::lock_guard lock(self->m_mutex);
    ++self->m_closes;
    std::erase_if(self->m_handles, [h](const auto& p) { return p.get() == h; });
    return TRUE;
}

BOOL FakeIcmpProvider::CancelEchoEntry(HANDLE handle) {
    auto* h = static_cast<Handle*>(handle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    FakeIcmpProvider* self = h->owner;
    std::lock_guard lock(self->m_mutex);
    ++self->m_cancels;
    h->cancelled = true;
    self->m_cond.notify_all();
    return TRUE;
}

DWORD FakeIcmpProvider::SendEchoEntry(HANDLE handle, IPAddr destination, void* requestData, WORD requestSize,
                                      IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize,
                                      DWORD timeoutMs) {
    return SendEchoUsEntry(handle, destination, requestData, requestSize, options, replyBuffer, replySize, timeoutMs,
                           nullptr);
}

DWORD FakeIcmpProvider::SendEchoUsEntry(HANDLE handle, IPAddr destination, void* requestData, WORD requestSize,
                                        IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize,
                                        DWORD timeoutMs, DWORD* roundTripUs) {
    if (roundTripUs != nullptr) {
        *roundTripUs = ov::icmp::kNoRoundTripUs;
    }
    auto* h = static_cast<Handle*>(handle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FakeIcmpProvider* self = h->owner;
    std::unique_lock lock(self->m_mutex);
    FakeRequest request;
    request.destination = destination;
    const auto* bytes = static_cast<const BYTE*>(requestData);
    if (bytes != nullptr) {
        request.data.assign(bytes, bytes + requestSize);
    }
    if (options != nullptr) {
        request.options = *options;
    }
    request.replySize = replySize;
    request.timeoutMs = timeoutMs;
    self->m_requests.push_back(std::move(request));
    FakeReply outcome = self->m_default;
    const auto cycle = std::find_if(self->m_cycles.begin(), self->m_cycles.end(),
                                    [destination](const Cycle& c) { return c.destination == destination; });
    if (cycle != self->m_cycles.end()) {
        outcome = cycle->replies[cycle->next];
        cycle->next = (cycle->next + 1) % cycle->replies.size();
    } else if (!self->m_script.empty()) {
        outcome = self->m_script.front();
        self->m_script.pop_front();
    }
    self->m_cond.notify_all();

    // Wait as the outcome says; a cancel ends the wait at once.
    ++self->m_inProgress;
    const DWORD waitMs = outcome.noReply ? timeoutMs : outcome.delayMs;
    self->m_cond.wait_for(lock, std::chrono::milliseconds(waitMs), [h] { return h->cancelled; });
    --self->m_inProgress;
    if (h->cancelled || outcome.noReply) {
        return 0;
    }
    if (replyBuffer == nullptr || replySize < sizeof(ICMP_ECHO_REPLY) + requestSize) {
        return 0;  // a real provider reports IP_BUF_TOO_SMALL
    }
    auto* out = static_cast<BYTE*>(replyBuffer);
    ICMP_ECHO_REPLY reply{};
    reply.Address = destination;
    reply.Status = outcome.status;
    reply.RoundTripTime = outcome.roundTripTime;
    if (roundTripUs != nullptr) {
        *roundTripUs = outcome.roundTripUs;
    }
    reply.DataSize = requestSize;
    reply.Data = out + sizeof(ICMP_ECHO_REPLY);
    reply.Options.Ttl = outcome.ttl;
    std::memcpy(out, &reply, sizeof(reply));
    if (bytes != nullptr && requestSize > 0) {
        std::memcpy(out + sizeof(ICMP_ECHO_REPLY), bytes, requestSize);
    }
    return 1;
}

ProviderScope::ProviderScope(std::vector<ov::icmp::Provider*> providers) {
    UnbindPingServices();
    ov::icmp::SetProviders(std::move(providers));
}

ProviderScope::~ProviderScope() {
    UnbindPingServices();
    ov::icmp::SetProviders({});
}

}  // namespace ov::test
