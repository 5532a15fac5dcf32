#include "OvPingDoc.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "MsgFormat.h"

namespace {

constexpr bool IsHostSeparator(char16_t c) noexcept {
    return c == u' ' || c == u';' || c == u',';
}

void AppendTrimmed(std::vector<std::u16string>& out, std::u16string_view token) {
    if (const std::u16string_view trimmed = TrimHostText(token); !trimmed.empty()) {
        out.emplace_back(trimmed);
    }
}

}  // namespace

std::u16string_view TrimHostText(std::u16string_view text) noexcept {
    const auto first = text.find_first_not_of(kHostTokenTrimSet);
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kHostTokenTrimSet);
    return text.substr(first, last - first + 1);
}

std::vector<std::u16string> SplitHostText(std::u16string_view text) {
    std::vector<std::u16string> tokens;
    std::size_t tokenStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsHostSeparator(text[i])) {
            continue;
        }
        if (tokenStart == i) {
            ++tokenStart;  // runs of separators give no empty tokens
        } else {
            AppendTrimmed(tokens, text.substr(tokenStart, i - tokenStart));
            tokenStart = i + 1;
        }
    }
    if (tokenStart < text.size()) {
        AppendTrimmed(tokens, text.substr(tokenStart));
    }
    return tokens;
}

namespace {

// The deleting thread only joins workers; host destructors need little stack.
constexpr std::size_t kReaperStackBytes = 256 * 1024;

}  // namespace

COvPingDoc::~COvPingDoc() {
    DeleteRetiredHosts();
    DeleteHosts();
    m_reaper.Join();
}

void COvPingDoc::AddView(IPingView* view) {
    if (view != nullptr && std::find(m_views.begin(), m_views.end(), view) == m_views.end()) {
        m_views.push_back(view);
    }
}

void COvPingDoc::RemoveView(IPingView* view) noexcept {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void COvPingDoc::DeleteHosts() noexcept {
    // Ask every worker to quit first, so that the joins below overlap instead
    // of each host waiting out its own current step in turn.
    for (const auto& host : m_hosts) {
        if (host) {
            host->RequestQuit();
        }
    }
    for (auto& host : m_hosts) {
        host.reset();
    }
    m_hosts.clear();
}

void COvPingDoc::RetireHosts() noexcept {
    // Silenced here, so that no host of the old run notifies the frame any more.
    for (const auto& host : m_hosts) {
        if (host) {
            host->SetNotifyWindow(nullptr, 0);
        }
    }
    // The hosts retired before are gone long since, as a rule.
    m_reaper.Join();
    if (m_retired.empty()) {
        m_retired = std::move(m_hosts);
    } else {
        // A run stopped while it started left its predecessor's hosts here too.
        try {
            m_retired.reserve(m_retired.size() + m_hosts.size());
            std::move(m_hosts.begin(), m_hosts.end(), std::back_inserter(m_retired));
        } catch (const std::bad_alloc&) {
            DeleteHosts();  // no room to set them aside: deleted here
        }
    }
    m_hosts.clear();
}

void COvPingDoc::DeleteRetiredHosts() noexcept {
    if (m_retired.empty() || m_reaper.Joinable()) {
        return;
    }
    const auto retire = [this] {
        // Told first, every worker ends its current step at the same time.
        for (const auto& host : m_retired) {
            if (host) {
                host->RequestQuit();
            }
        }
        m_retired.clear();
    };
    if (!m_reaper.Start(retire, kReaperStackBytes)) {
        retire();  // no thread: deleted here, as before
    }
}

void COvPingDoc::StartRun(std::u16string_view text) {
    BeginRun(text);
    StartPendingHosts(GetPendingCount());
}

void COvPingDoc::BeginRun(std::u16string_view text) {
    RetireHosts();
    m_pending = SplitHostText(text);
    m_nextPending = 0;
    m_anyStarted = false;
    m_running = !m_pending.empty();
    m_hosts.reserve(m_pending.size());
    // A worker per host, and the old run's workers until they end.
    ov::ReserveWaitSlots(m_pending.size() + m_retired.size());
    // No host has this index, so the next SelectHost of any host takes effect.
    m_current = static_cast<UINT>(m_pending.size());
    if (m_frame != nullptr) {
        m_frame->SetMainTitle(text);
    }
}

UINT COvPingDoc::StartPendingHosts(UINT most) {
    const bool first = m_hosts.empty();
    const std::size_t end = m_nextPending + std::min<std::size_t>(most, GetPendingCount());
    const bool creates = end > m_nextPending;
    for (; m_nextPending < end; ++m_nextPending) {
        const auto index = static_cast<std::uint32_t>(m_hosts.size());
        std::unique_ptr<CHostProbe> host;
        try {
            host = std::make_unique<CHostProbe>(index, std::move(m_pending[m_nextPending]), m_settings);
        } catch (const std::bad_alloc&) {
            // A host that cannot be made stays as a null entry.
        }
        if (host && m_requestLimit != 0) {
            host->SetRequestLimit(m_requestLimit);
        }
        if (host && host->Start()) {
            m_anyStarted = true;
        }
        m_hosts.push_back(std::move(host));
    }
    const UINT pending = GetPendingCount();
    if (pending == 0) {
        m_pending.clear();
        m_nextPending = 0;
        // The old workers end once the new ones have started, not among them.
        DeleteRetiredHosts();
    }
    if (!creates) {
        return pending;
    }
    m_running = m_anyStarted || pending != 0;
    NotifyViews(first ? HINT_RUN_STARTED : HINT_HOSTS_ADDED);
    if (!m_running) {
        // No host could start: the views still show the hosts and the events
        // that say why, as of a run that ended at once.
        NotifyViews(HINT_RUN_STOPPED);
    }
    return pending;
}

void COvPingDoc::StopAll() {
    m_pending.clear();
    m_nextPending = 0;
    DeleteRetiredHosts();
    // The gates alone: waking every pausing worker as well cost the caller
    // tens of microseconds a host, a fifth of a second for 5000.
    for (const auto& host : m_hosts) {
        if (host) {
            host->CloseGate();
        }
    }
    m_running = false;
    m_current = 0;
    NotifyViews(HINT_RUN_STOPPED);
}

bool COvPingDoc::SelectHost(UINT index) {
    if (index == m_current) {
        return true;
    }
    if (index >= m_hosts.size() || !m_hosts[index]) {
        return false;
    }
    if (m_current < m_hosts.size() && m_hosts[m_current]) {
        m_hosts[m_current]->SetNotifyWindow(nullptr, 0);
    }
    m_current = index;
    m_hosts[m_current]->SetNotifyWindow(m_frame != nullptr ? m_frame->NotifyTarget() : nullptr, WM_PING_NOTIFY);
    NotifyViews(HINT_CURRENT_HOST);
    return true;
}

CHostProbe* COvPingDoc::GetCurrentHost() noexcept {
    if (m_current < m_hosts.size()) {
        return m_hosts[m_current].get();
    }
    m_current = 0;
    return nullptr;
}

CHostProbe* COvPingDoc::GetHost(UINT i) const noexcept {
    return i < m_hosts.size() ? m_hosts[i].get() : nullptr;
}

void COvPingDoc::ApplySettings() {
    for (const auto& host : m_hosts) {
        if (host) {
            host->SetSettings(m_settings);
        }
    }
    NotifyViews(HINT_SETTINGS_CHANGED);
}

void COvPingDoc::NotifyViews(UINT hint) {
    if (m_frame != nullptr) {
        m_frame->UpdateRunControls(m_running);
    }
    // A view may unregister itself while it handles the hint.
    const std::vector<IPingView*> views = m_views;
    for (IPingView* view : views) {
        if (std::find(m_views.begin(), m_views.end(), view) != m_views.end()) {
            view->OnUpdate(hint);
        }
    }
}

std::u16string COvPingDoc::GetStartStopText() const {
    return m_running ? std::u16string(LoadFormatString(33003, "Stop Ping "))
                     : std::u16string(LoadFormatString(33002, "Start Ping"));
}

bool COvPingDoc::OnOpenDocument(std::u16string_view name) {
    if (name.empty()) {
        return false;
    }
    if (m_frame == nullptr) {
        return true;
    }
    if (m_running) {
        m_frame->ToggleStartStop();
    }
    m_frame->SetHostEntryText(name);
    m_frame->ShowStartStop();
    return true;
}
