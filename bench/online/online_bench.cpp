// The HTML view and the fetch against hostile input, offscreen:
//
//   online_bench stall [page...]   the GUI thread's longest step for each page
//                                  (a page is a name below or an HTML file)
//   online_bench memory            peak memory of fetches that never end
//
// stall: each page is shown in a 260x300 view (loaded from a file, which takes
// the same path as a web page), then the view is made 50 and 900 pixels wide
// and scrolled to the end; every step is timed with its painting, and the
// longest is printed. The pages
// are those that froze or crashed the view before its bounds, and pages built
// to sit at those bounds. Name pages, or give HTML files, to run only those.
//
// memory: a loopback server sends an answer without end (4 KiB chunks, as
// fast as the connection takes them) to a fetch with the update answer's
// limit and one with the page's; for each the growth of the peak resident
// memory over the fetch is printed (after a first fetch has loaded what every
// fetch needs once; needs root to reset the peak).
#include <algorithm>
#include <cstring>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include "OvHtmlView.h"
#include "PageLimits.h"
#include "support/flood_server.h"
#include "ovupdate/UpdateAnswer.h"

namespace {

QByteArray Repeat(const QByteArray& part, int times) {
    return part.repeated(times);
}

QByteArray Tables(int depth, const QByteArray& inner) {
    return Repeat("<table><tr><td>", depth) + inner + Repeat("</td></tr></table>", depth);
}

// A table of cells holding "word", 20 to a row.
QByteArray Cells(int cells) {
    QByteArray table = "<table border=1>";
    for (int i = 0; i < cells; ++i) {
        table += (i % 20 == 0 ? "<tr><td>word" : "<td>word");
    }
    return table + "</table>";
}

// Text in a script no font here has ("\u0710", Syriac), in as many sizes
// from first on, or in as many unknown families.
QByteArray Fonts(int fonts, int first, bool families) {
    QByteArray html;
    for (int i = first; i < first + fonts; ++i) {
        html += (families ? "<span style=\"font-family: f" + QByteArray::number(i)
                          : "<span style=\"font-size: " + QByteArray::number(i) + "px") +
                "\">\xdc\x90 </span>";
    }
    return html;
}

// Pages by name: the hostile ones first, then those at the bounds.
std::vector<std::pair<std::string, QByteArray>> Pages() {
    const QByteArray text = Repeat(Repeat("word ", 20) + "<br>", 160);
    const QByteArray words = Repeat(QByteArray(199, 'a') + ' ', 80);
    return {
        {"tables-20", Tables(20, "x")},
        {"tables-30", Tables(30, "x")},
        {"tables-5000", Tables(5000, "x")},
        {"divs-100000", Repeat("<div>", 100000)},
        {"word-4MB", QByteArray(4000000, 'a')},
        {"cellpadding-1e8", "<table cellpadding=100000000><tr><td>x</td></tr></table>"},
        {"sizes-400-syriac", Fonts(400, 8, false)},
        {"families-400-syriac", Fonts(400, 8, true)},
        {"bound-text", "<p>" + text + "</p>"},
        {"bound-words", "<p>" + words + "</p>"},
        {"bound-tables-3-text", Tables(3, "<p>" + text.left(2000) + "</p>")},
        {"bound-tables-3-words", Tables(3, "<p>" + words.left(2000) + "</p>")},
        {"bound-cells", Cells(280)},
        {"bound-cells-nested", Tables(1, Cells(140))},
        {"bound-elements", Repeat("<p><b>word</b> <i>word</i> word</p>", 650)},
        {"bound-depth", Repeat("<div><ul><li>", 16) + Repeat("word ", 3000)},
        {"bound-style",
         "<style>" + Repeat("p b i { color: red } ", 64) + "</style>" + Repeat("<p><b><i>word</i></b></p>", 650)},
        {"bound-fonts-syriac", Fonts(kMaxPageFonts - 1, 500, false)},
        {"bound-lengths", Repeat("<p style=\"font-size: 9000px; margin: 10000px; padding: 10000px\">word</p>", 50) +
                              Tables(3, "<p style=\"letter-spacing: 10000px\">a b c</p>")},
    };
}

// Milliseconds of one step, painting included.
qint64 Step(QApplication& app, COvHtmlView& view, const std::function<void()>& step) {
    QElapsedTimer clock;
    clock.start();
    step();
    view.viewport()->repaint();
    app.processEvents();
    return clock.elapsed();
}

int Stall(QApplication& app, const QStringList& only) {
    QTemporaryDir dir;
    qint64 worst = 0;
    std::vector<std::pair<std::string, QByteArray>> pages = Pages();
    for (const QString& path : only) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            pages.emplace_back(path.toStdString(), file.readAll());
        }
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto& [name, page] = pages[i];
        if (!only.isEmpty() && !only.contains(QString::fromStdString(name))) {
            continue;
        }
        const QString path = dir.filePath(QStringLiteral("page%1.html").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size()) {
            return 1;
        }
        file.close();
        COvHtmlView view;
        view.resize(260, 300);
        view.show();
        app.processEvents();
        bool refused = false;
        QObject::connect(&view, &COvHtmlView::navigateError, [&refused](const QUrl&, int, bool*) { refused = true; });
        const qint64 load = Step(app, view, [&] { view.Navigate(path); });
        const qint64 narrow = Step(app, view, [&] { view.resize(50, 300); });
        const qint64 wide = Step(app, view, [&] { view.resize(900, 300); });
        const qint64 end =
            Step(app, view, [&] { view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum()); });
        const qint64 longest = std::max({load, narrow, wide, end});
        worst = std::max(worst, longest);
        std::printf("%-22s %8lld bytes  %-8s show %5lld ms  50 px %5lld ms  900 px %5lld ms  end %5lld ms\n",
                    name.c_str(), static_cast<long long>(page.size()), refused ? "refused" : "shown",
                    static_cast<long long>(load), static_cast<long long>(narrow), static_cast<long long>(wide),
                    static_cast<long long>(end));
        std::fflush(stdout);
    }
    std::printf("longest step: %lld ms\n", static_cast<long long>(worst));
    return 0;
}

// A line of /proc/self/status in KiB.
long StatusKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(static_cast<qsizetype>(std::strlen(key))).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Runs one fetch of url keeping at most limit bytes; its status.
int FetchOnce(QApplication& app, const QString& url, qint64 limit) {
    COvHttpFetch fetch;
    int status = 0;
    QObject::connect(&fetch, &COvHttpFetch::finished,
                     [&status](int result, const QByteArray&, const QUrl&) { status = result; });
    QElapsedTimer clock;
    clock.start();
    fetch.Start(QUrl(url), limit);
    while (status == 0 && clock.elapsed() < 20000) {
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return status;
}

int Memory(QApplication& app) {
    const FloodServer flood("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                            "1000\r\n" + QByteArray(0x1000, 'x') + "\r\n");
    // A first fetch loads what every fetch needs once (sockets, name lookup).
    FetchOnce(app, flood.Url(QStringLiteral("/")), 1024);
    const std::pair<const char*, qint64> cases[] = {
        {"update answer", static_cast<qint64>(kMaxUpdateAnswerBytes)},
        {"online page", COvHtmlView::kMaxPageBytes},
    };
    for (const auto& [what, limit] : cases) {
        // Resets the peak to what is resident now.
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1) {
            std::printf("(peak not reset: not root?)\n");
        }
        reset.close();
        const long before = StatusKiB("VmRSS:");
        const qint64 sentBefore = flood.BytesSent();
        QElapsedTimer clock;
        clock.start();
        const int status = FetchOnce(app, flood.Url(QStringLiteral("/")), limit);
        std::printf("%-14s limit %7lld KiB: status %d after %lld ms, peak memory grew %ld KiB, server sent %lld KiB\n",
                    what, static_cast<long long>(limit / 1024), status, static_cast<long long>(clock.elapsed()),
                    StatusKiB("VmHWM:") - before, static_cast<long long>((flood.BytesSent() - sentBefore) / 1024));
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.value(0) == u"stall") {
        return Stall(app, args.mid(1));
    }
    if (args.value(0) == u"memory") {
        return Memory(app);
    }
    std::fprintf(stderr, "usage: online_bench stall [page...] | memory\n");
    return 2;
}
