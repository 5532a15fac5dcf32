#include "NameLookup.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

#include "PingServices.h"

namespace {

// Port number handed to the resolver with the host name.
constexpr char kResolverService[] = "33434";

// Names the resolver turns into an address without asking anyone.
bool IsDottedAddress(const std::string& name) noexcept {
    in_addr address{};
    return ::inet_aton(name.c_str(), &address) != 0;
}

}  // namespace

CNameLookup::CNameLookup(std::string name, WORD attempts) noexcept
    : m_name(std::move(name)), m_attempts(attempts < 1 ? WORD{1} : attempts) {}

CNameLookup::~CNameLookup() {
    BoundFreeAddrInfo(m_result);
}

std::shared_ptr<CNameLookup> CNameLookup::Start(std::string name, WORD attempts) {
    const bool local = IsDottedAddress(name);
    std::shared_ptr<CNameLookup> lookup;
    try {
        lookup = std::make_shared<CNameLookup>(std::move(name), attempts);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!local) {
        try {
            // The thread shares the lookup, so an abandoned one outlives its host.
            std::thread([lookup] { lookup->Run(); }).detach();
            return lookup;
        } catch (const std::system_error&) {
            // No thread to spare: resolve here.
        }
    }
    lookup->Run();
    return lookup;
}

bool CNameLookup::Abandoned() const noexcept {
    std::lock_guard lock(m_lock);
    return m_abandoned;
}

void CNameLookup::Run() noexcept {
    // Only IPv4 results: the first result is taken as an IPv4 address.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    int error = 0;
    int systemError = 0;
    for (WORD attempt = 0; attempt < m_attempts && !Abandoned(); ++attempt) {
        error = BoundGetAddrInfo(m_name.c_str(), kResolverService, &hints, &result);
        if (error == 0) {
            break;
        }
        systemError = error == EAI_SYSTEM ? errno : 0;
        result = nullptr;
    }
    std::lock_guard lock(m_lock);
    m_result = result;
    m_error = error;
    m_systemError = systemError;
    m_done = true;
    m_changed.notify_all();
}

const addrinfo* CNameLookup::Wait() noexcept {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_done || m_abandoned; });
    return m_abandoned ? nullptr : m_result;
}

int CNameLookup::Error() const noexcept {
    std::lock_guard lock(m_lock);
    return m_error;
}

int CNameLookup::SystemError() const noexcept {
    std::lock_guard lock(m_lock);
    return m_systemError;
}

void CNameLookup::Abandon() noexcept {
    std::lock_guard lock(m_lock);
    m_abandoned = true;
    m_changed.notify_all();
}
