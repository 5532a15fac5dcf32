#include "ovui/OvListView.h"

COvListView::COvListView(QWidget* parent) : COvListBase(parent) {}

void COvListView::InitialUpdate() {
    if (m_initialized) {
        return;
    }
    m_initialized = true;
    OnInitialUpdate();
}

void COvListView::OnInitialUpdate() {}
