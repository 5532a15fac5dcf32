#pragma once
// Starts the hosts of a run in slices from the event loop, so that a run of
// thousands of hosts does not stop the window: each slice creates and starts
// as many hosts as fit into a few milliseconds, the views' share included,
// then the window handles its input and painting again. A run that fits into
// the first slice has started when Start returns.
#include <string_view>

#include <QObject>
#include <QTimer>

#include "OvPingDoc.h"

class CRunStarter final : public QObject {
    Q_OBJECT

public:
    // Hosts of the first slice, started before Start returns.
    static constexpr UINT kFirstSlice = 32;
    // The time a slice aims at, milliseconds.
    static constexpr qint64 kSliceMs = 8;

    explicit CRunStarter(COvPingDoc& doc, QObject* parent = nullptr);

    // Starts a run of the hosts named in text: the first slice at once, the
    // others from the event loop.
    void Start(std::u16string_view text);
    // Ends the slices; the document's StopAll drops the hosts not yet started.
    void Cancel();
    // True while hosts of the run wait for a slice.
    bool IsStarting() const noexcept { return m_next.isActive(); }

signals:
    // After each slice that left hosts for later: started of total.
    void progress(unsigned started, unsigned total);
    // The slices ended: the last host was started, or the start was cancelled.
    void finished(bool cancelled);

private:
    // A slice from the event loop.
    void RunSlice();
    // Starts the next hosts and plans the next slice while hosts are pending.
    void StartSlice();

    COvPingDoc& m_doc;
    QTimer m_next;
    UINT m_sliceHosts = kFirstSlice;
};
