#include "AlertText.h"

#include <algorithm>
#include <string>

#include <QDateTime>
#include <QStringList>

#include "QtText.h"

namespace {

// A QString as the catalogue's formatter takes text.
std::u16string U(const QString& text) {
    return text.toStdU16String();
}

QString HostLabel(const HostAlert& alert) {
    if (alert.address == 0) {
        return alert.name;
    }
    const QString address = AlertAddressText(alert.address);
    return alert.name == address ? alert.name : OvText(35109, u"%s_a% (%s_b%)", U(alert.name), U(address));
}

QString RttText(std::uint32_t rttUs) {
    if (rttUs == 0) {
        return OvText(35116, u"no reply yet");
    }
    // Whole milliseconds, as the log list shows them; below one as "< 1 ms".
    return rttUs < 1000 ? OvText(35117, u"< 1 ms") : OvText(35118, u"%d_a% ms", static_cast<int>(rttUs / 1000));
}

QString OneLine(const HostAlert& alert) {
    const QString host = HostLabel(alert);
    if (alert.change.to == HostState::Down) {
        return OvText(35110, u"%s_a% is down", U(host));
    }
    const std::int64_t outage = alert.change.previousSince > 0 ? alert.change.since - alert.change.previousSince : 0;
    return OvText(35111, u"%s_a% is up again after %s_b%", U(host), U(AlertDurationText(outage)));
}

QString Details(const HostAlert& alert) {
    const QString rtt = RttText(alert.change.lastRttUs);
    if (alert.change.to == HostState::Down) {
        return OvText(35112, u"Last response time: %s_a%. Lost requests: %d_b%.", U(rtt),
                      static_cast<int>(alert.change.lost));
    }
    return OvText(35113, u"Response time: %s_a%. Requests lost while down: %d_b%.", U(rtt),
                  static_cast<int>(alert.change.lost));
}

QString NameList(const QList<HostAlert>& alerts, bool down) {
    QStringList names;
    for (const HostAlert& alert : alerts) {
        if ((alert.change.to == HostState::Down) == down) {
            names.push_back(alert.name);
        }
    }
    if (names.isEmpty()) {
        return {};
    }
    const QString list = names.join(OvText(35119, u", "));
    return down ? OvText(35114, u"%d_a% hosts down: %s_b%", static_cast<int>(names.size()), U(list))
                : OvText(35115, u"%d_a% hosts up again: %s_b%", static_cast<int>(names.size()), U(list));
}

}  // namespace

QString AlertAddressText(IPAddr address) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address);
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

QString AlertDurationText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    if (seconds < 60) {
        return OvText(35120, u"%d_a% s", static_cast<int>(seconds));
    }
    if (seconds < 3600) {
        return OvText(35121, u"%d_a% min %d_b% s", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
    }
    if (seconds < 86400) {
        return OvText(35122, u"%d_a% h %d_b% min", static_cast<int>(seconds / 3600),
                      static_cast<int>(seconds % 3600 / 60));
    }
    return OvText(35123, u"%d_a% d %d_b% h", static_cast<int>(seconds / 86400),
                  static_cast<int>(seconds % 86400 / 3600));
}

bool IsToldChange(const HostTransition& change) noexcept {
    return change.to == HostState::Down ||
           (change.from == HostState::Down && (change.to == HostState::Up || change.to == HostState::Slow));
}

AlertMessage FormatAlertMessage(const QList<HostAlert>& alerts) {
    if (alerts.size() == 1) {
        return {OneLine(alerts.front()), Details(alerts.front())};
    }
    // Several: the summary names them by kind, the body has a line each.
    const QString down = NameList(alerts, true);
    const QString up = NameList(alerts, false);
    AlertMessage message;
    message.summary = down.isEmpty() ? up : down;
    QStringList lines;
    if (!down.isEmpty() && !up.isEmpty()) {
        lines.push_back(up);
    }
    for (const HostAlert& alert : alerts) {
        lines.push_back(OneLine(alert));
    }
    message.body = lines.join(QLatin1Char('\n'));
    return message;
}

QString TrayToolTip(bool running, unsigned down, unsigned hosts) {
    if (!running) {
        return OvText(57344, u"Orvantek Ping Tool");
    }
    return OvText(35124, u"%d_a% of %d_b% hosts down", static_cast<int>(down), static_cast<int>(hosts));
}

QString DownSinceText(std::int64_t since) {
    const QString when = QDateTime::fromSecsSinceEpoch(since).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return OvText(35125, u"Down since %s_a%", U(when));
}
