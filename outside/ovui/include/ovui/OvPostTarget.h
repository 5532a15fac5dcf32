#pragma once
// Turns notifications posted from any thread into calls on the thread that
// owns the object (the GUI thread), in posting order. Post never waits for
// that thread: it queues an event and returns.
//
// Use: make one per receiver on the GUI thread, hand it (or an adapter over
// it) to the workers, and connect posted(). Destroying it drops the events
// still queued; make sure no worker posts any more before it dies.
#include <QObject>

class COvPostTarget : public QObject {
    Q_OBJECT

public:
    explicit COvPostTarget(QObject* parent = nullptr);
    ~COvPostTarget() override;

    // Thread-safe; queues (message, wParam, lParam) for posted(). A
    // notification that cannot be queued (out of memory) is dropped: false.
    bool Post(unsigned message, qintptr wParam, qintptr lParam) noexcept;

signals:
    // Emitted on the owning thread, once per Post.
    void posted(unsigned message, qintptr wParam, qintptr lParam);

protected:
    bool event(QEvent* event) override;
};
