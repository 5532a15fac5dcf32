#include "support/view_host.h"

#include <stdexcept>

#include <QHBoxLayout>

namespace ov::test {

ViewHost::ViewHost(COvPingDoc& doc, bool logFirst) : m_doc(doc) {
    std::unique_ptr<CLogListFrame> log = logFirst ? CLogListFrame::New(doc) : nullptr;
    auto tree = CStatTreeFrame::New(doc);
    if (!logFirst) {
        log = CLogListFrame::New(doc);
    }
    if (!tree || !log) {
        throw std::runtime_error("a view frame could not be built");
    }
    auto* layout = new QHBoxLayout(&m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, &m_window);
    layout->addWidget(splitter);
    m_tree = tree.release();
    m_log = log.release();
    splitter->addWidget(m_tree);
    splitter->addWidget(m_log);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    QObject::connect(&m_adapter, &CPingNotifyAdapter::newEvents, [this](int) {
        ++m_notifications;
        m_doc.NotifyViews(HINT_NEW_EVENTS);
    });
    m_doc.SetFrame(this);
}

ViewHost::~ViewHost() {
    for (UINT i = 0; i < m_doc.GetHostCount(); ++i) {
        if (CHostProbe* host = m_doc.GetHost(i)) {
            host->SetNotifyWindow(nullptr, 0);
        }
    }
    m_doc.SetFrame(nullptr);
}

}  // namespace ov::test
