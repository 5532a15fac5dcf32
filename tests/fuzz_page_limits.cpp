// Arbitrary markup for the HTML view: whatever the page bounds accept must
// parse, lay out and paint within the time the view promises (250 ms for the
// first showing, and again for each width the pane may take); whatever they
// refuse must be refused as quickly. A slow input is timed three times and
// fails only when even the fastest run is over the bound, so that a busy
// machine does not report a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include "PageLimits.h"

namespace {

constexpr qint64 kBoundMs = 250;
constexpr int kWidths[] = {260, 50, 900};

// Loads nothing: the pages of the web get no resources.
class CNoResources : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

void LayOutAndPaint(QTextDocument& document, int width) {
    document.setTextWidth(width);
    document.documentLayout()->documentSize();
    QImage screen(width, 300, QImage::Format_RGB32);
    QPainter painter(&screen);
    document.drawContents(&painter, QRectF(0, 0, width, 300));
}

// The longest of the steps the view takes on the GUI thread: check, parse,
// lay out and paint at the first width; lay out and paint at each other one.
qint64 LongestStep(const QString& html) {
    QElapsedTimer clock;
    clock.start();
    if (CheckPageMarkup(html) != PAGE_FITS) {
        return clock.elapsed();
    }
    CNoResources document;
    document.setUndoRedoEnabled(false);
    document.setBaseUrl(QUrl(QStringLiteral("https://www.orvantek.example/tapper/resource.html")));
    document.setHtml(html);
    if (CheckPageDocument(document) != PAGE_FITS) {
        return clock.elapsed();
    }
    qint64 longest = 0;
    for (int width : kWidths) {
        LayOutAndPaint(document, width);
        longest = std::max(longest, clock.restart());
    }
    return longest;
}

}  // namespace

// The font configuration library keeps its caches to the end of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString html = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    qint64 fastest = LongestStep(html);
    for (int again = 0; again < 2 && fastest > kBoundMs; ++again) {
        fastest = std::min(fastest, LongestStep(html));
    }
    if (fastest > kBoundMs) {
        std::fprintf(stderr, "page took %lld ms in one step (bound %lld ms)\n", static_cast<long long>(fastest),
                     static_cast<long long>(kBoundMs));
        std::abort();
    }
    return 0;
}
