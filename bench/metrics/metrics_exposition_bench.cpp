// The exposition of N hosts that each had replies of spread response times
// and a few losses: bytes, and the time the endpoint takes to write it,
// beside the client library's collection and serializer for the same series.
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>
#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>

#include "metrics_options.h"
#include "probe_metrics.h"

namespace {

void Fill(CProbeMetrics& metrics, int hosts) {
    for (int i = 0; i < hosts; ++i) {
        const std::string name = "127.0." + std::to_string((i + 1) >> 8 & 255) + "." + std::to_string((i + 1) & 255);
        const IPAddr address =
            127u | static_cast<IPAddr>(((i + 1) >> 8 & 255) << 16) | static_cast<IPAddr>(((i + 1) & 255) << 24);
        for (int r = 0; r < 60; ++r) {
            PING_EVENT e{};
            e.type = r % 20 == 19 ? PE_LOST : PE_REPLY;
            e.reply.Status = IP_REQ_TIMED_OUT;
            e.roundTripUs = 30u + static_cast<std::uint32_t>((r * 7919 + i) % 3000);
            e.time = 1700000000 + r;
            metrics.Record(name, e, address, u"");
        }
    }
    metrics.SetHostCount(static_cast<std::size_t>(hosts));
}

void BM_Exposition(benchmark::State& state) {
    CProbeMetrics metrics(DefaultBuckets(), "bench");
    Fill(metrics, static_cast<int>(state.range(0)));
    const auto write = metrics.Writer();
    std::string text;  // kept between scrapes, as the endpoint does
    for (auto _ : state) {
        write(text);
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_Exposition)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// The collection alone (the series as the endpoint gets them, before any text).
void BM_Collect(benchmark::State& state) {
    CProbeMetrics metrics(DefaultBuckets(), "bench");
    Fill(metrics, static_cast<int>(state.range(0)));
    const auto collectable = metrics.Collectable();
    for (auto _ : state) {
        auto families = collectable->Collect();
        benchmark::DoNotOptimize(families.data());
    }
}
BENCHMARK(BM_Collect)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The collection written by the library's serializer, as its exposer would answer.
void BM_LibrarySerializer(benchmark::State& state) {
    CProbeMetrics metrics(DefaultBuckets(), "bench");
    Fill(metrics, static_cast<int>(state.range(0)));
    const auto collectable = metrics.Collectable();
    for (auto _ : state) {
        std::ostringstream out;
        prometheus::TextSerializer().Serialize(out, collectable->Collect());
        benchmark::DoNotOptimize(out.tellp());
    }
}
BENCHMARK(BM_LibrarySerializer)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
