// The two socket providers of the ICMP echo service and the provider list.
#include <cstring>
#include <memory>
#include <mutex>

#include "icmp_socket.h"
#include "platform/icmp.h"

namespace ov::icmp {
namespace {

using detail::EchoHandle;
using detail::SocketKind;

template <SocketKind Kind>
HANDLE CreateFileOf() noexcept {
    // The HANDLE owns the echo handle until IcmpCloseHandle takes it back.
    std::unique_ptr<EchoHandle> handle = EchoHandle::Open(Kind);
    return handle ? static_cast<HANDLE>(handle.release()) : INVALID_HANDLE_VALUE;
}

BOOL CloseHandleOf(HANDLE handle) noexcept {
    std::unique_ptr<EchoHandle> owned(EchoHandle::From(handle));
    return owned ? TRUE : FALSE;
}

DWORD SendEchoUsOf(HANDLE handle, IPAddr destination, void* requestData, WORD requestSize,
                   IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize, DWORD timeoutMs,
                   DWORD* roundTripUs) noexcept {
    if (roundTripUs != nullptr) {
        *roundTripUs = kNoRoundTripUs;
    }
    EchoHandle* h = EchoHandle::From(handle);
    if (h == nullptr) {
        return 0;
    }
    return h->SendEcho(destination, requestData, requestSize, options, replyBuffer, replySize, timeoutMs, roundTripUs);
}

DWORD SendEchoOf(HANDLE handle, IPAddr destination, void* requestData, WORD requestSize, IP_OPTION_INFORMATION* options,
                 void* replyBuffer, DWORD replySize, DWORD timeoutMs) noexcept {
    return SendEchoUsOf(handle, destination, requestData, requestSize, options, replyBuffer, replySize, timeoutMs,
                        nullptr);
}

BOOL CancelEchoOf(HANDLE handle) noexcept {
    EchoHandle* h = EchoHandle::From(handle);
    if (h == nullptr) {
        return FALSE;
    }
    h->Cancel();
    return TRUE;
}

template <SocketKind Kind>
class SocketProvider final : public Provider {
public:
    explicit SocketProvider(const char* name) noexcept : m_name(name) {}
    const char* Name() const override { return m_name; }

    // Usable when a socket of this kind can be opened here and now.
    bool Load() override { return detail::OpenIcmpSocket(Kind).Valid(); }

    void* GetProc(const char* exportName) override {
        if (exportName == nullptr) {
            return nullptr;
        }
        if (std::strcmp(exportName, "IcmpCreateFile") == 0) {
            return reinterpret_cast<void*>(static_cast<PFN_IcmpCreateFile>(&CreateFileOf<Kind>));
        }
        if (std::strcmp(exportName, "IcmpCloseHandle") == 0) {
            return reinterpret_cast<void*>(static_cast<PFN_IcmpCloseHandle>(&CloseHandleOf));
        }
        if (std::strcmp(exportName, "IcmpSendEcho") == 0) {
            return reinterpret_cast<void*>(static_cast<PFN_IcmpSendEcho>(&SendEchoOf));
        }
        if (std::strcmp(exportName, "IcmpSendEchoUs") == 0) {
            return reinterpret_cast<void*>(static_cast<PFN_IcmpSendEchoUs>(&SendEchoUsOf));
        }
        if (std::strcmp(exportName, "IcmpCancelEcho") == 0) {
            return reinterpret_cast<void*>(static_cast<PFN_IcmpCancelEcho>(&CancelEchoOf));
        }
        return nullptr;
    }

    void Unload() override {}

private:
    const char* m_name;
};

std::mutex g_providersLock;
std::vector<Provider*> g_providers;  // empty: the default order

}  // namespace

Provider& DatagramProvider() {
    static SocketProvider<SocketKind::Datagram> provider("icmp-datagram");
    return provider;
}

Provider& RawProvider() {
    static SocketProvider<SocketKind::Raw> provider("icmp-raw");
    return provider;
}

std::vector<Provider*> Providers() {
    std::lock_guard lock(g_providersLock);
    if (!g_providers.empty()) {
        return g_providers;
    }
    return {&DatagramProvider(), &RawProvider()};
}

void SetProviders(std::vector<Provider*> providers) {
    std::lock_guard lock(g_providersLock);
    g_providers = std::move(providers);
}

}  // namespace ov::icmp
