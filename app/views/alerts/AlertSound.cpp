#include "AlertSound.h"

#include <canberra.h>

#include "QtText.h"

void CAlertSound::Close::operator()(ca_context* context) const noexcept {
    ca_context_destroy(context);
}

CAlertSound::CAlertSound() = default;
CAlertSound::~CAlertSound() = default;

const char* CAlertSound::EventId(bool down) noexcept {
    return down ? "network-connectivity-lost" : "network-connectivity-established";
}

bool CAlertSound::Play(bool down) {
    if (!m_context) {
        // Made at the first sound, so that a user without sounds never
        // connects to the sound system.
        ca_context* context = nullptr;
        if (ca_context_create(&context) != CA_SUCCESS) {
            return false;
        }
        m_context.reset(context);
        const QByteArray name = OvText(57344, u"Orvantek Ping Tool").toUtf8();
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, name.constData(), CA_PROP_APPLICATION_ID,
                                "com.orvantek.Tapper", nullptr);
    }
    const QByteArray description =
        (down ? OvText(35127, u"A host is down") : OvText(35128, u"A host is up again")).toUtf8();
    return ca_context_play(m_context.get(), 0, CA_PROP_EVENT_ID, EventId(down), CA_PROP_EVENT_DESCRIPTION,
                           description.constData(), nullptr) == CA_SUCCESS;
}
