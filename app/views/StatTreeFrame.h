#pragma once
// The statistics tree's frame: the "Tree" toolbar (Copy Host, Copy All) over
// one CStatTreeView.
#include <memory>

#include "DocViewFrame.h"

class CStatTreeView;

class CStatTreeFrame final : public CDocViewFrame<CStatTreeView> {
    Q_OBJECT

public:
    // A frame with its view on doc; null when the frame cannot be built. It
    // has no parent: a splitter or layout takes it.
    static std::unique_ptr<CStatTreeFrame> New(COvPingDoc& doc);

    CStatTreeView* GetTreeView() const noexcept { return m_docView; }

private:
    CStatTreeFrame() = default;
};
