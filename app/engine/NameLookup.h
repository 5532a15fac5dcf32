#pragma once
// One name resolution that the host asking for it may walk away from: the
// attempts run on a thread of their own, so a host being deleted need not
// wait for a slow name server. An abandoned lookup ends after its current
// attempt and drops its result.
#include <netdb.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/wintypes.h"

class CNameLookup {
public:
    // Resolves name (IPv4 only) in up to attempts tries, back to back. A
    // dotted address needs no name server and is resolved on the calling
    // thread; other names on a thread of their own (or here, when no thread
    // can be started). Null when out of memory.
    static std::shared_ptr<CNameLookup> Start(std::string name, WORD attempts);

    explicit CNameLookup(std::string name, WORD attempts) noexcept;
    ~CNameLookup();
    CNameLookup(const CNameLookup&) = delete;
    CNameLookup& operator=(const CNameLookup&) = delete;

    // Waits until the lookup ended or was abandoned; the first result, or
    // null when every attempt failed or the lookup was abandoned. The result
    // lives as long as this object.
    const addrinfo* Wait() noexcept;
    // Stops waiting and stops further attempts; a later result is dropped.
    void Abandon() noexcept;
    // Why the last attempt failed once the lookup ended: the resolver's code
    // (EAI_...) and, for EAI_SYSTEM, errno; 0 when it did not fail.
    int Error() const noexcept;
    int SystemError() const noexcept;

private:
    void Run() noexcept;
    bool Abandoned() const noexcept;

    const std::string m_name;
    const WORD m_attempts;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_done = false;
    bool m_abandoned = false;
    addrinfo* m_result = nullptr;  // freed with the lookup
    int m_error = 0;
    int m_systemError = 0;
};
