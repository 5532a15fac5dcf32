#pragma once
// A report list used as the view of a frame (COvViewFrame): the list of
// COvListBase plus the one-time initial update that a frame runs once the
// view and its toolbar exist.
#include "ovui/OvListBase.h"

class COvListView : public COvListBase {
    Q_OBJECT

public:
    explicit COvListView(QWidget* parent = nullptr);

    // Runs OnInitialUpdate the first time; later calls do nothing.
    void InitialUpdate();
    bool IsInitialized() const noexcept { return m_initialized; }

protected:
    // Sets up columns and modes; the base does nothing.
    virtual void OnInitialUpdate();

private:
    bool m_initialized = false;
};
