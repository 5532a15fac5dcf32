#include "ovui/OvPostTarget.h"

#include <new>

#include <QCoreApplication>
#include <QEvent>

namespace {

// One queued notification.
class CPostEvent final : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    CPostEvent(unsigned message, qintptr wParam, qintptr lParam)
        : QEvent(Kind()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

    unsigned m_message;
    qintptr m_wParam;
    qintptr m_lParam;
};

}  // namespace

COvPostTarget::COvPostTarget(QObject* parent) : QObject(parent) {
    // Registered here, on the owning thread, so that Post only reads it.
    CPostEvent::Kind();
}

COvPostTarget::~COvPostTarget() = default;

bool COvPostTarget::Post(unsigned message, qintptr wParam, qintptr lParam) noexcept {
    auto* event = new (std::nothrow) CPostEvent(message, wParam, lParam);
    if (event == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(this, event);  // takes the event over
    return true;
}

bool COvPostTarget::event(QEvent* event) {
    if (event->type() == CPostEvent::Kind()) {
        const auto* post = static_cast<CPostEvent*>(event);
        emit posted(post->m_message, post->m_wParam, post->m_lParam);
        return true;
    }
    return QObject::event(event);
}
