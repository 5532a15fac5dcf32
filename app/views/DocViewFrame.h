#pragma once
// A view frame over one view of type View on the ping document. The frames
// are made one way: the frame, its view on the document under the frame's
// toolbar, then the frame's own wiring of the view (Attach).
#include <memory>
#include <span>

#include <QString>

#include "OvPingDoc.h"
#include "ovui/OvViewFrame.h"

template <class View>
class CDocViewFrame : public COvViewFrame {
protected:
    // Makes frame's View on doc under the toolbar bar titled title, keeps it
    // and lets the frame attach it; null when the frame cannot be built.
    template <class Frame>
    static std::unique_ptr<Frame> Build(std::unique_ptr<Frame> frame, COvPingDoc& doc, const QString& title,
                                        std::span<const unsigned> bar) {
        CDocViewFrame& base = *frame;
        auto* view = new View(doc, frame.get());
        if (!base.Create(view, title, bar)) {
            return nullptr;
        }
        base.m_docView = view;
        if (!base.Attach(*view)) {
            return nullptr;
        }
        return frame;
    }

    // Connects the kept view to the frame and starts it once the toolbar is
    // made; false when the frame is incomplete.
    virtual bool Attach(View&) { return true; }

    View* m_docView = nullptr;
};
