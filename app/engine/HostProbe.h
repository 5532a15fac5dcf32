#pragma once
// One target host of a ping run and the worker thread that probes it.
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "PingTypes.h"

class CNameLookup;
struct PING_SERVICES;
#include "platform/event.h"
#include "platform/icmp.h"
#include "platform/thread.h"
#include "platform/wintypes.h"

// Host states; bit flags (Start tests bit HS_PINGING and the mask 7).
enum : DWORD {
    HS_NEW = 1,
    HS_RESOLVED = 4,
    HS_READY = 7,
    HS_PINGING = 16,
    HS_FAILED = 256,
};

// Notification message id the ping document asks hosts to post.
constexpr UINT WM_PING_NOTIFY = 1124;

// First parameter of a host notification.
enum : int {
    PN_REPLY = 0,      // a request got a valid reply
    PN_LOST = 1,       // a request got no valid reply in time
    PN_PREPARED = 2,   // name resolution and country lookup finished (or failed)
    PN_RESOLVING = 3,  // the name lookup began
};

// Receives host notifications. Called on a worker thread while the host holds
// its notify lock: it must queue the notification and return at once, never
// wait for another thread and never call back into the host.
class IPingNotifyTarget {
public:
    virtual ~IPingNotifyTarget() = default;
    // Queues message with what (a PN_ value) and the host's index.
    virtual void PostPingNotify(UINT message, int what, DWORD hostIndex) noexcept = 0;
};

// One host: resolves its name, looks up the country, then sends one echo
// request at a time at the configured delay while its run gate is open,
// keeping statistics and a ring of the last 5000 outcomes. Four locks, never
// nested: state (state, name, country, address, ICMP handle), settings,
// statistics (counters and ring), notify (target and message).
class CHostProbe {
public:
    // Creates the host in HS_NEW and starts its worker, which resolves the name
    // at once; binds the ping services first when they are not bound. The ring
    // keeps the last ringCapacity events.
    CHostProbe(DWORD index, std::u16string hostName, const PING_SETTINGS& settings,
               DWORD ringCapacity = CEventRing::kDefaultCapacity);
    // Asks the worker to quit and joins it.
    virtual ~CHostProbe();
    CHostProbe(const CHostProbe&) = delete;
    CHostProbe& operator=(const CHostProbe&) = delete;

    // Opens the run gate; true when the host is or may start pinging, false in HS_FAILED.
    bool Start();
    // Closes the run gate and sets HS_READY, whatever the state was.
    void Stop();
    // Stop without waking the worker: one that pauses between two requests
    // sends nothing more and goes back to the gate when its pause ends. For
    // stopping thousands of hosts at once, each wake-up costing the caller.
    void CloseGate();
    // True in HS_NEW, HS_RESOLVED and HS_PINGING.
    bool IsBusy() const;
    // One of the HS_ values.
    DWORD GetState() const;
    // Replaces the host's settings; the worker uses them from its next request.
    void SetSettings(const PING_SETTINGS& settings);
    // This host's copy of the settings.
    PING_SETTINGS GetSettings() const;
    // Makes the worker send no more than limit requests in all (0: no limit);
    // set it before Start for an exact count.
    void SetRequestLimit(DWORD limit);
    // Where to post notifications; (nullptr, 0) turns them off. Once it returns,
    // the previous target receives no further call.
    void SetNotifyWindow(IPingNotifyTarget* target, UINT messageId);
    // The name as typed, or the canonical name after resolution returned one.
    std::u16string GetHostName() const;
    // Country of the address; " " without a country database, "" before the lookup.
    std::u16string GetCountry() const;
    // IPv4 address in network byte order; 0 until resolved.
    IPAddr GetAddress() const;
    // Why the host failed, in the system's words; "" when it gave no reason
    // or the host did not fail.
    std::u16string GetFailureReason() const;
    // Copies the five counters.
    void GetStatistics(PING_STATS& stats) const;
    // Events recorded since creation (not capped by the ring).
    DWORD GetEventCount() const;
    // Copies the newest event; leaves event untouched when there is none.
    void GetLastEvent(PING_EVENT& event) const;
    // Copies the whole ring into target when target is not the host's own ring
    // and is at least as large; otherwise does nothing.
    void CopyEvents(CEventRing& target) const;
    // Replaces out with the events recorded since the event count was from (the
    // retained ones, oldest first) and returns the count, in one look.
    DWORD CopyEventsSince(DWORD from, std::vector<PING_EVENT>& out) const;
    // The five counters and the events recorded since the event count was from
    // (0: every retained one, oldest first) as of one moment, so that the
    // counters and the events agree; returns the event count.
    DWORD CopyStatisticsAndEvents(PING_STATS& stats, std::vector<PING_EVENT>& events, DWORD from = 0) const;
    // Position in the document's host list; the notifications' second parameter.
    DWORD GetIndex() const noexcept { return m_index; }

    // Asks the worker to end without waiting for it: every wait of the worker
    // (gate, cycle pause, echo, name lookup) ends promptly; a lookup under way
    // is abandoned and its late result dropped.
    // The destructor then only joins. Lets the owner signal all hosts first.
    void RequestQuit() noexcept;

private:
    void Record(std::int32_t type) noexcept;
    // Records failure event type and enters HS_FAILED; the codes say why
    // (errno, or the resolver's EAI_ code), 0 for unknown.
    void Fail(std::int32_t type, int systemError, int lookupError) noexcept;
    void SetState(DWORD state) noexcept;
    void Notify(int what) noexcept;
    void Worker() noexcept;
    void Prepare() noexcept;
    void Resolve() noexcept;
    void LookupCountryOfAddress() noexcept;
    // Sends one request when the delay has passed; returns how long the worker
    // may pause before the next one can be due (INFINITE: it can send no more
    // until it is stopped, deleted or its settings change).
    DWORD PingOnce(HANDLE icmpHandle) noexcept;
    // PingOnce's steps. When no request is due: the pause; otherwise nullopt,
    // with the request counted and address and settings filled in for it.
    std::optional<DWORD> PauseBeforeSend(IPAddr& address, PING_SETTINGS& settings) noexcept;
    // Sizes the payload and the reply buffer for requests of requestSize bytes.
    void FitBuffers(WORD requestSize) noexcept;
    // Sets this worker's timer slack for pauses between requests delayMs apart.
    void FitTimerSlack(DWORD delayMs) noexcept;
    // Counts the request's outcome, records its event and notifies.
    void RecordOutcome(DWORD replies, DWORD finerUs, DWORD timeOut) noexcept;
    bool Quitting() const noexcept { return m_quit.load(std::memory_order_acquire); }

    const DWORD m_index;
    // The process's ICMP binding, bound (or found unbound) at construction,
    // before the worker starts; the worker reads it and nothing else changes it
    // while hosts exist.
    const PING_SERVICES& m_services;

    mutable std::mutex m_stateLock;
    IPAddr m_address = 0;
    std::u16string m_hostName;
    std::u16string m_country;
    DWORD m_state = HS_NEW;
    int m_systemError = 0;  // why the host failed
    int m_lookupError = 0;
    HANDLE m_icmpHandle = INVALID_HANDLE_VALUE;  // published for RequestQuit's cancel
    std::shared_ptr<CNameLookup> m_lookup;       // published for RequestQuit's abandon

    mutable std::mutex m_settingsLock;
    PING_SETTINGS m_settings;
    DWORD m_requestLimit = 0;

    mutable std::mutex m_statsLock;
    PING_STATS m_stats{};
    CEventRing m_events;

    mutable std::mutex m_notifyLock;
    IPingNotifyTarget* m_notifyTarget = nullptr;
    UINT m_notifyMsg = 0;

    // The gate is a manual-reset event: it stays open until Stop closes it.
    ov::WaitGroup m_waits;
    ov::Event m_runGate{m_waits, ov::Event::ResetMode::Manual};
    ov::Event m_quitSignal{m_waits, ov::Event::ResetMode::Manual};
    // Set by SetSettings, SetRequestLimit and Stop, so that a pause sized for
    // the old settings (or a host's sleep once it can send no more) ends early.
    ov::Event m_wake{m_waits, ov::Event::ResetMode::Auto};
    std::atomic<bool> m_quit{false};

    // Worker only.
    std::vector<BYTE> m_payload;
    std::vector<BYTE> m_replyBuffer;
    DWORD m_payloadSize = 0;
    DWORD m_lastSendTick = 0;
    DWORD m_requestsSent = 0;
    bool m_hasSent = false;     // the first request goes out at once, whatever the tick count
    bool m_hasAddress = false;  // the preparation resolved the name
    bool m_hasSlack = false;    // the timer slack was set, for m_slackDelayMs
    DWORD m_slackDelayMs = 0;

    ov::Thread m_thread;
};
