#include "HostProbe.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "NameLookup.h"
#include "PingServices.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/escape.h"

namespace {

// Longest name handed to the resolver, in UTF-8 bytes, and longest canonical
// name kept, in UTF-16 units; both cut at a character boundary.
constexpr std::size_t kMaxResolverName = 1024;
constexpr std::size_t kMaxCanonicalName = 520;
// The shortest pause between two checks of the delay. A worker sleeps until
// its next request is due rather than polling every cycle, so that a thousand
// idle hosts cost a thousand wake-ups per delay, not ten thousand a second.
constexpr DWORD kCyclePauseMs = 100;

// Time left of delay once elapsed has passed (at least 1 ms).
DWORD TimeLeft(DWORD delay, DWORD elapsed) noexcept {
    return elapsed < delay ? delay - elapsed : 1;
}

// A worker's stack: its deepest call (a numeric name through the resolver) needs
// a few kilobytes; the default of 8 MiB made thousands of hosts slow to start.
constexpr std::size_t kWorkerStackBytes = 256 * 1024;

// How much later than asked the kernel may end a worker's pause: 0.5% of the
// delay, between the kernel's default of 50 us and 5 ms. With slack the kernel
// ends the pauses of many workers at one timer interrupt; with thousands of
// workers that wake at moments of their own, the wake-ups cost more than the
// requests did. A request goes out at most this much after its time.
constexpr std::uint64_t kLeastSlackNs = 50'000;
constexpr std::uint64_t kMostSlackNs = 5'000'000;
constexpr std::uint64_t kSlackNsPerDelayMs = 5'000;

// Extra room in the reply buffer beyond the reply record and the echoed data.
constexpr std::size_t kReplySlack = 8;

}  // namespace

CHostProbe::CHostProbe(DWORD index, std::u16string hostName, const PING_SETTINGS& settings, DWORD ringCapacity)
    : m_index(index),
      m_services(PingServices()),
      m_hostName(std::move(hostName)),
      m_settings(settings),
      m_events(ringCapacity) {
    if (!m_services.bound && !BindPingServices()) {
        Fail(PE_NO_SERVICES, errno, 0);
        return;
    }
    if (!m_thread.Start([this] { Worker(); }, kWorkerStackBytes)) {
        Fail(PE_NO_THREAD, errno, 0);
    }
}

CHostProbe::~CHostProbe() {
    RequestQuit();
    m_thread.Join();
}

void CHostProbe::RequestQuit() noexcept {
    m_quit.store(true, std::memory_order_release);
    m_quitSignal.Set();
    m_runGate.Set();  // a worker waiting at the closed gate wakes up
    std::shared_ptr<CNameLookup> lookup;
    {
        // The worker clears the handle under this lock before closing it, so
        // the handle cannot be closed while it is being cancelled.
        std::lock_guard lock(m_stateLock);
        lookup = m_lookup;
        const PFN_IcmpCancelEcho cancel = m_services.pIcmpCancelEcho;
        if (m_icmpHandle != INVALID_HANDLE_VALUE && cancel != nullptr) {
            cancel(m_icmpHandle);
        }
    }
    if (lookup) {
        lookup->Abandon();  // its late result is dropped
    }
}

bool CHostProbe::Start() {
    std::lock_guard lock(m_stateLock);
    if ((m_state & HS_PINGING) != 0) {
        return true;
    }
    if ((m_state & 7) == 0) {
        return false;
    }
    m_runGate.Set();
    return true;
}

void CHostProbe::Stop() {
    CloseGate();
    m_wake.Set();  // a worker sleeping with the gate open goes back to the gate
}

void CHostProbe::CloseGate() {
    m_runGate.Reset();
    SetState(HS_READY);
}

bool CHostProbe::IsBusy() const {
    const DWORD state = GetState();
    return state == HS_NEW || state == HS_RESOLVED || state == HS_PINGING;
}

DWORD CHostProbe::GetState() const {
    std::lock_guard lock(m_stateLock);
    return m_state;
}

void CHostProbe::SetSettings(const PING_SETTINGS& settings) {
    {
        std::lock_guard lock(m_settingsLock);
        m_settings = settings;
    }
    m_wake.Set();
}

void CHostProbe::SetRequestLimit(DWORD limit) {
    {
        std::lock_guard lock(m_settingsLock);
        m_requestLimit = limit;
    }
    m_wake.Set();
}

PING_SETTINGS CHostProbe::GetSettings() const {
    std::lock_guard lock(m_settingsLock);
    return m_settings;
}

void CHostProbe::SetNotifyWindow(IPingNotifyTarget* target, UINT messageId) {
    std::lock_guard lock(m_notifyLock);
    m_notifyTarget = target;
    m_notifyMsg = messageId;
}

std::u16string CHostProbe::GetHostName() const {
    std::lock_guard lock(m_stateLock);
    return m_hostName;
}

std::u16string CHostProbe::GetCountry() const {
    std::lock_guard lock(m_stateLock);
    return m_country;
}

IPAddr CHostProbe::GetAddress() const {
    std::lock_guard lock(m_stateLock);
    return m_address;
}

void CHostProbe::GetStatistics(PING_STATS& stats) const {
    std::lock_guard lock(m_statsLock);
    stats = m_stats;
}

DWORD CHostProbe::GetEventCount() const {
    std::lock_guard lock(m_statsLock);
    return m_events.Count();
}

void CHostProbe::GetLastEvent(PING_EVENT& event) const {
    std::lock_guard lock(m_statsLock);
    if (m_events.Count() != 0) {
        event = m_events.At(m_events.NewestIndex());
    }
}

void CHostProbe::CopyEvents(CEventRing& target) const {
    std::lock_guard lock(m_statsLock);
    target.CopyFrom(m_events);
}

DWORD CHostProbe::CopyEventsSince(DWORD from, std::vector<PING_EVENT>& out) const {
    std::lock_guard lock(m_statsLock);
    return m_events.CopySince(from, out);
}

DWORD CHostProbe::CopyStatisticsAndEvents(PING_STATS& stats, std::vector<PING_EVENT>& events, DWORD from) const {
    std::lock_guard lock(m_statsLock);
    stats = m_stats;
    return m_events.CopySince(from, events);
}

void CHostProbe::Record(std::int32_t type) noexcept {
    PING_EVENT event{};
    event.type = type;
    event.time = _time64(nullptr);
    std::lock_guard lock(m_statsLock);
    m_events.Push(event);
}

void CHostProbe::Fail(std::int32_t type, int systemError, int lookupError) noexcept {
    Record(type);
    std::lock_guard lock(m_stateLock);
    m_systemError = systemError;
    m_lookupError = lookupError;
    m_state = HS_FAILED;
}

std::u16string CHostProbe::GetFailureReason() const {
    int systemError = 0;
    int lookupError = 0;
    {
        std::lock_guard lock(m_stateLock);
        systemError = m_systemError;
        lookupError = m_lookupError;
    }
    if (lookupError != 0 && lookupError != EAI_SYSTEM) {
        return ov::Utf8ToWide(gai_strerror(lookupError));
    }
    if (systemError != 0) {
        char buffer[256];
        return ov::Utf8ToWide(strerror_r(systemError, buffer, sizeof(buffer)));
    }
    return {};
}

void CHostProbe::SetState(DWORD state) noexcept {
    std::lock_guard lock(m_stateLock);
    m_state = state;
}

void CHostProbe::Notify(int what) noexcept {
    // Posted under the lock, so that SetNotifyWindow(nullptr, 0) guarantees
    // that the old target is not called afterwards; targets only queue.
    std::lock_guard lock(m_notifyLock);
    if (m_notifyTarget != nullptr) {
        m_notifyTarget->PostPingNotify(m_notifyMsg, what, m_index);
    }
}

void CHostProbe::Worker() noexcept {
    const HANDLE icmp = m_services.pIcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE || icmp == nullptr) {
        Fail(PE_NO_ICMP_HANDLE, errno, 0);
        // The preparation ends here, and the current host's views learn of it.
        Notify(PN_PREPARED);
        return;
    }
    {
        std::lock_guard lock(m_stateLock);
        m_icmpHandle = icmp;
    }

    Prepare();  // a host resolves as soon as it exists, started or not
    m_hasAddress = GetState() == HS_READY;

    for (;;) {
        // The gate stays open until Stop; a quit request wakes the wait too.
        ov::WaitAny({&m_runGate, &m_quitSignal}, INFINITE);
        if (Quitting()) {
            break;
        }
        const DWORD pause = PingOnce(icmp);
        if (ov::WaitAny({&m_quitSignal, &m_wake}, pause) == 0) {
            break;
        }
    }

    {
        std::lock_guard lock(m_stateLock);
        m_icmpHandle = INVALID_HANDLE_VALUE;
    }
    m_services.pIcmpCloseHandle(icmp);
}

void CHostProbe::Prepare() noexcept {
    if (GetState() == HS_NEW) {
        Resolve();
    }
    if (GetState() == HS_RESOLVED) {
        LookupCountryOfAddress();
    }
    Notify(PN_PREPARED);
}

void CHostProbe::Resolve() noexcept {
    WORD probe = 0;
    {
        std::lock_guard lock(m_settingsLock);
        probe = m_settings.Probe;
    }
    if (probe < 1) {
        probe = 1;
    }
    Record(PE_RESOLVING);
    // A lookup may take long: the views show that it began.
    Notify(PN_RESOLVING);

    // The lookup is published so that a quit request can abandon it at once.
    std::shared_ptr<CNameLookup> lookup = CNameLookup::Start(ov::WideToUtf8(GetHostName(), kMaxResolverName), probe);
    if (!lookup) {
        Fail(PE_RESOLVE_FAILED, ENOMEM, 0);
        return;
    }
    {
        std::lock_guard lock(m_stateLock);
        m_lookup = lookup;
        if (Quitting()) {
            lookup->Abandon();
        }
    }
    const addrinfo* first = lookup->Wait();
    {
        std::lock_guard lock(m_stateLock);
        m_lookup.reset();
        if (first != nullptr && first->ai_addr != nullptr && first->ai_family == AF_INET &&
            first->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in in{};
            std::memcpy(&in, first->ai_addr, sizeof(in));
            if (first->ai_canonname != nullptr) {
                // A name server's text, UTF-8 on this system: kept with
                // malformed bytes as U+FFFD and its controls escaped.
                m_hostName = ov::EscapeControls(ov::Utf8ToWide(first->ai_canonname, kMaxCanonicalName));
            }
            m_address = in.sin_addr.s_addr;
            m_state = HS_RESOLVED;
            return;
        }
    }
    Fail(PE_RESOLVE_FAILED, lookup->SystemError(), lookup->Error());
}

void CHostProbe::LookupCountryOfAddress() noexcept {
    const std::u16string country = LookupCountry(GetAddress());
    std::lock_guard lock(m_stateLock);
    m_country = country;
    m_state = HS_READY;
}

std::optional<DWORD> CHostProbe::PauseBeforeSend(IPAddr& address, PING_SETTINGS& settings) noexcept {
    const DWORD now = GetTickCount();
    {
        std::lock_guard lock(m_stateLock);
        // A Stop between the gate wait and here leaves the host stopped.
        if (!m_runGate.IsSet()) {
            return 0;
        }
        // A failed host (or one stopped before its name resolved) has nothing
        // to send to: it sleeps instead of checking every cycle.
        if ((m_state != HS_READY && m_state != HS_PINGING) || !m_hasAddress) {
            return INFINITE;
        }
        m_state = HS_PINGING;
        address = m_address;
    }
    DWORD limit = 0;
    {
        std::lock_guard lock(m_settingsLock);
        settings = m_settings;
        limit = m_requestLimit;
    }
    if (limit != 0 && m_requestsSent >= limit) {
        return INFINITE;  // all requests of a counted run are out
    }
    // Unsigned difference: a wrap of the tick count is harmless.
    if (m_hasSent && now - m_lastSendTick < settings.TimeDelay) {
        return TimeLeft(settings.TimeDelay, now - m_lastSendTick);
    }
    m_lastSendTick = now;
    m_hasSent = true;
    ++m_requestsSent;
    return std::nullopt;
}

void CHostProbe::FitBuffers(WORD requestSize) noexcept {
    if (requestSize != m_payloadSize || m_replyBuffer.empty()) {
        m_payload.assign(requestSize, BYTE{0x41});
        // Room for the reply record, the echoed data and some slack.
        m_replyBuffer.assign(requestSize + sizeof(ICMP_ECHO_REPLY) + kReplySlack, BYTE{0});
        m_payloadSize = requestSize;
    }
}

void CHostProbe::FitTimerSlack(DWORD delayMs) noexcept {
    if (m_hasSlack && delayMs == m_slackDelayMs) {
        return;
    }
    const std::uint64_t slack = std::clamp(std::uint64_t{delayMs} * kSlackNsPerDelayMs, kLeastSlackNs, kMostSlackNs);
    // The slack of the calling thread: this worker's.
    ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    m_slackDelayMs = delayMs;
    m_hasSlack = true;
}

void CHostProbe::RecordOutcome(DWORD replies, DWORD finerUs, DWORD timeOut) noexcept {
    PING_EVENT event{};
    event.time = _time64(nullptr);
    ICMP_ECHO_REPLY reply{};
    if (replies != 0) {
        std::memcpy(&reply, m_replyBuffer.data(), sizeof(reply));
    }
    const bool answered = replies != 0 && reply.Status == IP_SUCCESS && reply.RoundTripTime <= timeOut;
    {
        std::lock_guard lock(m_statsLock);
        ++m_stats.sent;
        if (answered) {
            event.type = PE_REPLY;
            event.reply = reply;
            event.reply.Data = nullptr;  // would point into this worker's buffer
            // A finer time must agree with the milliseconds it refines.
            event.roundTripUs = finerUs / 1000 == reply.RoundTripTime
                                    ? finerUs
                                    : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                          std::uint64_t{reply.RoundTripTime} * 1000, 0xFFFFFFFEu));
            m_stats.minimum =
                m_stats.minimum == 0 ? reply.RoundTripTime : std::min(m_stats.minimum, reply.RoundTripTime);
            m_stats.maximum = std::max(m_stats.maximum, reply.RoundTripTime);
            m_stats.total += reply.RoundTripTime;
        } else {
            ++m_stats.lost;
            event.type = PE_LOST;
            // Why it was lost: the error an ICMP error reply said, else a timeout.
            event.reply.Status = replies != 0 && reply.Status != IP_SUCCESS ? reply.Status : IP_REQ_TIMED_OUT;
        }
        m_events.Push(event);
    }
    Notify(answered ? PN_REPLY : PN_LOST);
}

DWORD CHostProbe::PingOnce(HANDLE icmpHandle) noexcept {
    IPAddr address = 0;
    PING_SETTINGS settings;
    if (const std::optional<DWORD> pause = PauseBeforeSend(address, settings)) {
        return *pause;
    }
    FitTimerSlack(settings.TimeDelay);
    // The request size travels as 16 bits, so no more than that is kept.
    const WORD requestSize = static_cast<WORD>(settings.Size);
    FitBuffers(requestSize);

    DWORD finerUs = ov::icmp::kNoRoundTripUs;
    const DWORD replySize = static_cast<DWORD>(m_replyBuffer.size());
    const DWORD replies =
        m_services.pIcmpSendEchoUs != nullptr
            ? m_services.pIcmpSendEchoUs(icmpHandle, address, m_payload.data(), requestSize, &settings.IPOption,
                                         m_replyBuffer.data(), replySize, settings.TimeOut, &finerUs)
            : m_services.pIcmpSendEcho(icmpHandle, address, m_payload.data(), requestSize, &settings.IPOption,
                                       m_replyBuffer.data(), replySize, settings.TimeOut);
    if (replies == 0 && Quitting()) {
        return 0;  // the echo was cancelled because the host is being deleted
    }
    RecordOutcome(replies, finerUs, settings.TimeOut);
    // After a request the worker pauses at least one cycle, however short the delay.
    return std::max(TimeLeft(settings.TimeDelay, GetTickCount() - m_lastSendTick), kCyclePauseMs);
}
