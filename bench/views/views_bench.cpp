// Costs of the two windows on the offscreen platform:
//   views_bench [--benchmark_...]
// BM_TreeRefreshTick / BM_TreeRebuild: the statistics tree with 1000 hosts
// (9000 items) during a run where every host sends between two ticks; a tick
// is the rewrite of every host's lines and the repaint of what is on screen.
// BM_LogListNewEvent: one new event in a full log list (5000 rows) with auto
// scroll on and 100 rows selected, the selection moved as ranges;
// BM_LogListNewEventRowWalk: the same with the selection moved by a walk over
// every row, for comparison. The "repaint" variants include drawing the rows.
// BM_LogListBurst: 100 new events of the current host in a full list, in one
// pass or one pass each; BM_NotifyBurst: the signals 100 posts of a worker
// make (one while the first waits).
// BM_LogListShowHost: a change of the current host to one with a full ring,
// which measures every line for the classic view's width.
// BM_LogListMemory: resident memory before and after 100 000 events.
#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QItemSelectionModel>
#include <benchmark/benchmark.h>

#include "LogListFrame.h"
#include "LogListView.h"
#include "PingNotifyAdapter.h"
#include "StatTreeFrame.h"
#include "StatTreeModel.h"
#include "StatTreeView.h"
#include "support/fake_icmp.h"

namespace {

constexpr int kHosts = 1000;
constexpr int kSelectedRows = 100;

long ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * 4;
}

// 1000 loopback hosts answering through the fake provider, with the tree shown.
class TreeRun {
public:
    TreeRun() : m_scope({&m_provider}) {
        m_provider.SetDefault({.roundTripTime = 3});
        // Every host sends at least once between two ticks 500 ms apart, so
        // that each tick rewrites every host's lines.
        m_doc.Settings().TimeDelay = 400;
        m_doc.PollTime() = 500;
        m_frame = CStatTreeFrame::New(m_doc);
        m_frame->resize(400, 800);
        m_frame->show();
        std::u16string hosts;
        for (int i = 0; i < kHosts; ++i) {
            char text[32];
            const int n = std::snprintf(text, sizeof text, "127.0.%d.%d ", i / 254, i % 254 + 1);
            hosts.append(text, text + n);
        }
        m_doc.StartRun(hosts);
        // Let every host resolve and send a few requests.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        QApplication::processEvents();
    }
    ~TreeRun() { m_doc.StopAll(); }
    CStatTreeView& Tree() { return *m_frame->GetTreeView(); }

private:
    ov::test::FakeIcmpProvider m_provider;
    ov::test::ProviderScope m_scope;
    COvPingDoc m_doc;
    std::unique_ptr<CStatTreeFrame> m_frame;
};

// Made by the first tree benchmark and ended before the log list ones, so
// that its 1000 workers do not run beside them.
std::unique_ptr<TreeRun> g_treeRun;

TreeRun& SharedTreeRun() {
    if (!g_treeRun) {
        g_treeRun = std::make_unique<TreeRun>();
    }
    return *g_treeRun;
}

void BM_TreeRefreshTick(benchmark::State& state) {
    CStatTreeView& tree = SharedTreeRun().Tree();
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the default poll interval
        QApplication::processEvents();
        state.ResumeTiming();
        tree.Refresh();
        tree.viewport()->repaint();
    }
    state.counters["items"] = static_cast<double>(tree.GetModel()->HostCount() * 9);
}
BENCHMARK(BM_TreeRefreshTick)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_TreeRebuild(benchmark::State& state) {
    CStatTreeView& tree = SharedTreeRun().Tree();
    for (auto _ : state) {
        tree.Rebuild();
        tree.setCurrentIndex(tree.GetModel()->index(0, 0, {}));
        tree.viewport()->repaint();
    }
    state.counters["items"] = static_cast<double>(tree.GetModel()->HostCount() * 9);
}
BENCHMARK(BM_TreeRebuild)->Unit(benchmark::kMillisecond)->MinTime(2.0);

PING_EVENT Reply(DWORD n) {
    PING_EVENT e{};
    e.type = n % 7 == 0 ? PE_LOST : PE_REPLY;
    e.time = 1700000000 + n / 10;
    e.reply.RoundTripTime = n % 50;
    e.reply.DataSize = 64;
    e.reply.Options.Ttl = 64;
    return e;
}

// A shown log list with a full ring and 100 selected rows spread over it.
class FullList {
public:
    FullList() {
        g_treeRun.reset();
        m_frame = CLogListFrame::New(m_doc);
        m_frame->resize(700, 500);
        m_frame->show();
        QApplication::processEvents();
        CEventRing ring;
        for (DWORD i = 0; i < 5000; ++i) {
            ring.Push(Reply(i));
        }
        List().ShowEvents(ring, QStringLiteral("127.0.0.1"));
        Reselect();
    }
    CLogListView& List() { return *m_frame->GetListView(); }
    // 100 separate selected rows, so the selection has 100 ranges.
    void Reselect() {
        List().clearSelection();
        for (int i = 0; i < kSelectedRows; ++i) {
            List().SetRowSelected(40 + i * 48, true);
        }
        List().SetFocusRow(40 + 50 * 48);
    }

private:
    COvPingDoc m_doc;
    std::unique_ptr<CLogListFrame> m_frame;
};

void BM_LogListNewEvent(benchmark::State& state) {
    FullList full;
    CLogListView& list = full.List();
    const bool repaint = state.range(0) != 0;
    DWORD n = 5000;
    for (auto _ : state) {
        list.AppendEvent(Reply(n++));
        if (repaint) {
            list.viewport()->repaint();
        }
        // Rows reach the top and leave every 48 events: select 100 again.
        if (n % 32 == 0) {
            state.PauseTiming();
            full.Reselect();
            state.ResumeTiming();
        }
    }
    state.SetLabel(repaint ? "with repaint" : "handler only");
}
BENCHMARK(BM_LogListNewEvent)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same event with the selection moved row by row over all 5000 rows.
void BM_LogListNewEventRowWalk(benchmark::State& state) {
    FullList full;
    CLogListView& list = full.List();
    list.SetAutoScroll(false);
    DWORD n = 5000;
    for (auto _ : state) {
        list.AppendEvent(Reply(n++));
        list.EnsureVisible(4999);
        for (int row = 1; row < 5000; ++row) {
            if (list.IsRowSelected(row)) {
                list.SetRowSelected(row, false);
                list.SetRowSelected(row - 1, true);
            }
        }
        if (list.GetFocusRow() > 0) {
            list.SetFocusRow(list.GetFocusRow() - 1);
        }
        list.SetRowSelected(0, false);
        list.InvalidateRows();
        // Rows reach the top and leave every 48 events: select 100 again.
        if (n % 32 == 0) {
            state.PauseTiming();
            full.Reselect();
            state.ResumeTiming();
        }
    }
    state.SetLabel("handler only");
}
BENCHMARK(BM_LogListNewEventRowWalk)->Unit(benchmark::kMicrosecond);

// A burst of 100 events of the current host in a full list: taken in one
// pass (AppendEvents, as one notification takes them) or, for comparison,
// one notification per event.
void BM_LogListBurst(benchmark::State& state) {
    FullList full;
    CLogListView& list = full.List();
    const bool onePass = state.range(0) != 0;
    std::vector<PING_EVENT> burst(100);
    DWORD n = 5000;
    for (auto _ : state) {
        for (PING_EVENT& event : burst) {
            event = Reply(n++);
        }
        if (onePass) {
            list.AppendEvents(burst);
        } else {
            for (const PING_EVENT& event : burst) {
                list.AppendEvent(event);
            }
        }
        state.PauseTiming();
        full.Reselect();
        state.ResumeTiming();
    }
    state.SetLabel(onePass ? "100 events, one pass" : "100 events, a pass each");
}
BENCHMARK(BM_LogListBurst)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A burst of 100 replies of the current host posted from its worker: the
// signals that reach the GUI thread for it (counter "signals").
void BM_NotifyBurst(benchmark::State& state) {
    CPingNotifyAdapter adapter;
    int delivered = 0;
    QObject::connect(&adapter, &CPingNotifyAdapter::newEvents, [&delivered](int) { ++delivered; });
    for (auto _ : state) {
        std::thread worker([&adapter] {
            for (int i = 0; i < 100; ++i) {
                adapter.PostPingNotify(WM_PING_NOTIFY, PN_REPLY, 0);
            }
        });
        worker.join();
        QApplication::processEvents();
    }
    state.counters["signals"] = benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NotifyBurst)->Unit(benchmark::kMicrosecond);

void BM_LogListShowHost(benchmark::State& state) {
    FullList full;
    CLogListView& list = full.List();
    CEventRing ring;
    for (DWORD i = 0; i < 5000; ++i) {
        ring.Push(Reply(i));
    }
    int n = 0;
    for (auto _ : state) {
        list.ShowEvents(ring, QStringLiteral("host-%1.example").arg(n++ % 2));
    }
    state.SetLabel("5000 rows");
}
BENCHMARK(BM_LogListShowHost)->Unit(benchmark::kMillisecond);

void BM_LogListMemory(benchmark::State& state) {
    for (auto _ : state) {
        FullList full;
        CLogListView& list = full.List();
        DWORD n = 5000;
        for (int i = 0; i < 5000; ++i) {
            list.AppendEvent(Reply(n++));
        }
        QApplication::processEvents();
        const long before = ResidentKb();
        for (int i = 0; i < 100000; ++i) {
            list.AppendEvent(Reply(n++));
            if (i % 1000 == 0) {
                full.Reselect();
                QApplication::processEvents();
            }
        }
        QApplication::processEvents();
        const long after = ResidentKb();
        state.counters["rss_before_kb"] = static_cast<double>(before);
        state.counters["rss_after_kb"] = static_cast<double>(after);
        state.counters["rss_growth_kb"] = static_cast<double>(after - before);
    }
}
BENCHMARK(BM_LogListMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
