#pragma once
// The ping run document: the hosts of the current run, the current host, the
// master ping settings and the views' refresh interval. Views observe it
// through update hints; the frame (window or console) refreshes its run
// controls and title through an interface the document is given.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HostProbe.h"
#include "PingTypes.h"
#include "platform/thread.h"
#include "platform/wintypes.h"

// Update hints the document sends to every view.
inline constexpr UINT HINT_NEW_EVENTS = 0x10001;
inline constexpr UINT HINT_CURRENT_HOST = 0x10002;
inline constexpr UINT HINT_RUN_STARTED = 0x10003;
inline constexpr UINT HINT_RUN_STOPPED = 0x10004;
inline constexpr UINT HINT_SETTINGS_CHANGED = 0x10005;
// More hosts of a run that starts in steps were created and started.
inline constexpr UINT HINT_HOSTS_ADDED = 0x10006;

// Characters trimmed from both ends of every host token and of the host entry text.
inline constexpr std::u16string_view kHostTokenTrimSet = u" ;:.,?'\"\\`~";
// The text without the trim-set characters at both ends (empty when nothing else is left).
std::u16string_view TrimHostText(std::u16string_view text) noexcept;

// Host names in text, in order: split at blanks, semicolons and commas, each
// token trimmed of kHostTokenTrimSet; empty tokens are dropped.
std::vector<std::u16string> SplitHostText(std::u16string_view text);

// A view of the document: receives every update hint.
class IPingView {
public:
    virtual ~IPingView() = default;
    // Called with one of the HINT_ values.
    virtual void OnUpdate(UINT hint) = 0;
};

// What the document needs of the main frame.
class IPingFrame {
public:
    virtual ~IPingFrame() = default;
    // Refresh the host entry and the Start/Stop button for the run state.
    virtual void UpdateRunControls(bool running) = 0;
    // Set the main window caption from name (empty: the application title alone).
    virtual void SetMainTitle(std::u16string_view name) = 0;
    // Where the current host posts WM_PING_NOTIFY; null for none.
    virtual IPingNotifyTarget* NotifyTarget() = 0;
    // Run the Start/Stop command as the user would.
    virtual void ToggleStartStop() = 0;
    // Put text into the host entry.
    virtual void SetHostEntryText(std::u16string_view text) = 0;
    // Make the Start/Stop button visible.
    virtual void ShowStartStop() = 0;
};

// The one document of a process.
class COvPingDoc {
public:
    COvPingDoc() = default;
    // Deletes all hosts (waiting for their workers and for the hosts of
    // earlier runs still being deleted).
    ~COvPingDoc();
    COvPingDoc(const COvPingDoc&) = delete;
    COvPingDoc& operator=(const COvPingDoc&) = delete;

    // Master ping settings; the option dialog and start-up change them in place.
    PING_SETTINGS& Settings() noexcept { return m_settings; }
    const PING_SETTINGS& Settings() const noexcept { return m_settings; }
    // Refresh interval of the views' timers, milliseconds.
    DWORD& PollTime() noexcept { return m_pollTime; }
    DWORD PollTime() const noexcept { return m_pollTime; }

    // Requests each host of the next run sends before it stops (0: no limit).
    void SetRequestLimit(DWORD limit) noexcept { m_requestLimit = limit; }

    // Registers a view for hints (not owned; remove it before it dies).
    void AddView(IPingView* view);
    // Unregisters a view.
    void RemoveView(IPingView* view) noexcept;
    // The frame that shows the run controls (not owned; may be null).
    void SetFrame(IPingFrame* frame) noexcept { m_frame = frame; }

    // Replaces all hosts by the hosts named in text and starts them. When none
    // of them could start, the views are told of a run that ended at once.
    void StartRun(std::u16string_view text);
    // StartRun in steps, for runs too large to start at once. BeginRun drops
    // the previous hosts (their workers end on a thread of their own) and
    // takes the names; the run counts as running while names are pending.
    // Each StartPendingHosts creates and starts the next hosts and tells the
    // views: HINT_RUN_STARTED the first time, HINT_HOSTS_ADDED later. StopAll
    // drops the names not yet started.
    void BeginRun(std::u16string_view text);
    // Creates and starts up to most pending hosts; returns how many are still
    // pending. After the last one, a run in which no host could start ends
    // as StartRun's does.
    UINT StartPendingHosts(UINT most);
    // Hosts named by BeginRun that are not created yet.
    UINT GetPendingCount() const noexcept { return static_cast<UINT>(m_pending.size() - m_nextPending); }
    // Stops every host and drops the pending ones; the hosts and their data stay.
    void StopAll();
    // Makes hosts[index] the current host; false for an index out of range or a null entry.
    bool SelectHost(UINT index);
    // The current host, or null (an out-of-range current index is reset to 0).
    CHostProbe* GetCurrentHost() noexcept;
    // Copies settings into every host, then sends HINT_SETTINGS_CHANGED.
    void ApplySettings();
    // Lets the frame refresh its run controls, then sends hint to every view.
    void NotifyViews(UINT hint);

    // Number of host entries (null entries included).
    UINT GetHostCount() const noexcept { return static_cast<UINT>(m_hosts.size()); }
    // The i-th host entry, or null for a null entry or an index out of range.
    CHostProbe* GetHost(UINT i) const noexcept;
    // Index of the current host (may be out of range).
    UINT GetCurrentIndex() const noexcept { return m_current; }
    // True from a start that started at least one host, or still has hosts
    // pending, until StopAll.
    bool IsRunning() const noexcept { return m_running; }

    // Text of the Start/Stop command for the run state.
    std::u16string GetStartStopText() const;
    // Opens the document by name: stops a run, puts name into the host entry
    // and shows the Start/Stop button. Starts nothing; false for an empty name.
    bool OnOpenDocument(std::u16string_view name);

private:
    using HostList = std::vector<std::unique_ptr<CHostProbe>>;
    void DeleteHosts() noexcept;
    // Silences the hosts and sets them aside for DeleteRetiredHosts.
    void RetireHosts() noexcept;
    // Deletes the hosts set aside on a thread of its own.
    void DeleteRetiredHosts() noexcept;

    PING_SETTINGS m_settings{};
    DWORD m_pollTime = 500;
    DWORD m_requestLimit = 0;
    HostList m_hosts;
    std::vector<std::u16string> m_pending;  // names of the run being started
    std::size_t m_nextPending = 0;          // first of them not yet created
    bool m_anyStarted = false;              // some host of this run started
    UINT m_current = 0;
    bool m_running = false;
    // Hosts of earlier runs and the thread that deletes them.
    HostList m_retired;
    ov::Thread m_reaper;
    std::vector<IPingView*> m_views;
    IPingFrame* m_frame = nullptr;
};
