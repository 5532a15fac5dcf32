// Renders the log list, the statistics tree and the chart during a run of
// three hosts on the fake ICMP provider (the third losing every third reply)
// into PNG files:
//   ov_screenshots OUTDIR LANG     (LANG: en, de_de, zh_cn)
// writes OUTDIR/LANG-classic.png, LANG-table.png, LANG-tree-line.png and the
// chart in its three galleries with 3D on and off, with the legend box:
// LANG-chart-{line,area,bar}-{3d,flat}.png, and without it:
// LANG-chart-line-nolegend.png; the chart of that run in a small frame,
// LANG-chart-small.png, and of a run of 300 hosts with its legend,
// LANG-chart-300-hosts.png.
#include <arpa/inet.h>

#include <cstdio>
#include <string>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "ChartFrame.h"
#include "ChartView.h"
#include "LogListView.h"
#include "MsgFormat.h"
#include "PingServices.h"
#include "StatTreeModel.h"
#include "StatTreeView.h"
#include "ViewIds.h"
#include "ovui/OvCommand.h"
#include "support/fake_icmp.h"
#include "support/view_host.h"

namespace {

using ov::test::FakeReply;

IPAddr Address(const char* dotted) {
    return inet_addr(dotted);
}

void Wait(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool Save(QWidget& window, const QString& file) {
    QApplication::processEvents();
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// The chart of a run in every look.
int SaveCharts(const QString& prefix) {
    COvPingDoc doc;
    doc.Settings().TimeDelay = 100;
    doc.Settings().TimeOut = 100;
    doc.PollTime() = 50;
    auto frame = CChartFrame::New(doc);
    if (!frame) {
        std::fprintf(stderr, "cannot build the chart\n");
        return 1;
    }
    frame->resize(980, 420);
    frame->show();
    doc.StartRun(u"127.0.0.1 127.0.0.2 127.0.0.3");
    Wait(9000);
    doc.StopAll();
    CChartView& view = *frame->GetChartView();
    const auto run = [&view](unsigned id) { OvSendCommand(&view, id); };
    int failures = 0;
    struct Look {
        unsigned gallery;
        const char* name;
    };
    for (const Look look : {Look{ID_CHART_LINE, "line"}, Look{ID_CHART_AREA, "area"}, Look{ID_CHART_BAR, "bar"}}) {
        run(look.gallery);
        failures += !Save(*frame, prefix + "-chart-" + look.name + "-3d.png");
        run(ID_CHART_3D);
        failures += !Save(*frame, prefix + "-chart-" + look.name + "-flat.png");
        run(ID_CHART_3D);
    }
    run(ID_CHART_LINE);
    run(ID_CHART_LEGEND);
    failures += !Save(*frame, prefix + "-chart-line-nolegend.png");
    run(ID_CHART_LEGEND);
    frame->resize(360, 170);
    Wait(300);
    failures += !Save(*frame, prefix + "-chart-small.png");
    return failures;
}

// The chart of a run of 300 hosts (127.0.1.0 to 127.0.2.43) with its legend
// box, each host answering in its own time.
int SaveManyHostsChart(ov::test::FakeIcmpProvider& provider, const QString& prefix) {
    std::u16string hosts;
    for (int i = 0; i < 300; ++i) {
        const std::string address = "127.0." + std::to_string(1 + i / 256) + "." + std::to_string(i % 256);
        provider.SetDestinationCycle(Address(address.c_str()),
                                     {{.roundTripTime = DWORD(4 + i % 37)}, {.roundTripTime = DWORD(6 + i % 23)}});
        hosts += std::u16string(address.begin(), address.end()) + u" ";
    }
    COvPingDoc doc;
    doc.Settings().TimeDelay = 200;
    doc.Settings().TimeOut = 100;
    doc.PollTime() = 100;
    auto frame = CChartFrame::New(doc);
    if (!frame) {
        std::fprintf(stderr, "cannot build the chart\n");
        return 1;
    }
    frame->resize(980, 420);
    frame->show();
    doc.StartRun(hosts);
    Wait(6000);
    doc.StopAll();
    return Save(*frame, prefix + "-chart-300-hosts.png") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ov_screenshots OUTDIR LANG\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const std::string lang = argv[2];
    QDir().mkpath(outDir);
    if (lang != "en") {
        const std::string module = QApplication::applicationDirPath().toStdString() + "/mui/" + lang + "/OvPingRes.so";
        if (!SelectLanguageModule(QString::fromStdString(module).toStdU16String())) {
            std::fprintf(stderr, "cannot load %s\n", module.c_str());
            return 1;
        }
    }

    ov::test::FakeIcmpProvider provider;
    provider.SetDestinationCycle(Address("127.0.0.1"),
                                 {{.roundTripTime = 3}, {.roundTripTime = 12}, {.roundTripTime = 7}});
    provider.SetDestinationCycle(Address("127.0.0.2"), {{.roundTripTime = 0, .ttl = 128}});
    provider.SetDestinationCycle(
        Address("127.0.0.3"), {{.roundTripTime = 41, .ttl = 52}, {.roundTripTime = 38, .ttl = 52}, {.noReply = true}});
    ov::test::ProviderScope scope({&provider});

    int failures = 0;
    {
        COvPingDoc doc;
        doc.Settings().TimeDelay = 100;
        doc.Settings().TimeOut = 100;
        doc.PollTime() = 200;
        ov::test::ViewHost host(doc);
        host.Window().resize(980, 440);
        host.Window().show();
        doc.StartRun(u"127.0.0.1 127.0.0.2 127.0.0.3");
        Wait(1500);

        // The lossy host is the one shown, with two rows selected.
        CStatTreeView& tree = *host.TreeFrame().GetTreeView();
        tree.setCurrentIndex(tree.GetModel()->index(2, 0, {}));
        Wait(2200);
        CLogListView& list = *host.LogFrame().GetListView();
        const int last = list.GetItemCount() - 1;
        list.SetRowSelected(last - 4, true);
        list.SetRowSelected(last - 3, true);
        list.SetFocusRow(last - 3);
        const QString prefix = outDir + "/" + QString::fromStdString(lang);
        failures += !Save(host.Window(), prefix + "-classic.png");
        list.SetViewMode(CLogListView::kTableView);
        failures += !Save(host.Window(), prefix + "-table.png");
        // A statistic line of the second host selected: its host node is marked too.
        tree.setCurrentIndex(tree.GetModel()->index(3, 0, tree.GetModel()->index(1, 0, {})));
        Wait(300);
        failures += !Save(host.Window(), prefix + "-tree-line.png");
        doc.StopAll();
        failures += SaveCharts(prefix);
        failures += SaveManyHostsChart(provider, prefix);
    }
    return failures == 0 ? 0 : 1;
}
