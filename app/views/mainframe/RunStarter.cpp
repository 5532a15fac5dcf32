#include "RunStarter.h"

#include <algorithm>

#include <QElapsedTimer>

namespace {

// Bounds of a slice's host count.
constexpr UINT kFewestHosts = 4;
constexpr UINT kMostHosts = 512;

}  // namespace

CRunStarter::CRunStarter(COvPingDoc& doc, QObject* parent) : QObject(parent), m_doc(doc) {
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &CRunStarter::RunSlice);
}

void CRunStarter::Start(std::u16string_view text) {
    Cancel();
    m_doc.BeginRun(text);
    m_sliceHosts = kFirstSlice;
    StartSlice();
}

void CRunStarter::Cancel() {
    if (m_next.isActive()) {
        m_next.stop();
        emit finished(true);
    }
}

void CRunStarter::RunSlice() {
    // A Stop between two slices has dropped the pending hosts.
    if (m_doc.GetPendingCount() == 0) {
        emit finished(true);
        return;
    }
    StartSlice();
}

void CRunStarter::StartSlice() {
    QElapsedTimer clock;
    clock.start();
    const UINT pending = m_doc.StartPendingHosts(m_sliceHosts);
    if (pending == 0) {
        emit finished(false);
        return;
    }
    // The next slice takes as many hosts as this one's pace fits into its time.
    const qint64 elapsed = std::max<qint64>(clock.elapsed(), 1);
    const qint64 fitting = static_cast<qint64>(m_sliceHosts) * kSliceMs / elapsed;
    m_sliceHosts = static_cast<UINT>(std::clamp<qint64>((m_sliceHosts + fitting) / 2, kFewestHosts, kMostHosts));
    const UINT started = m_doc.GetHostCount();
    emit progress(started, started + pending);
    m_next.start();
}
