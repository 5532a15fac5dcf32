// Parse and write times of CXmlManager beside pugixml on the same generated
// documents (10 and 20 MiB: sections of items with attributes and text, four
// levels deep). After the runs it prints the parse ratio against pugixml at
// 10 MiB and the 20/10 MiB time ratio of each parser, from the medians of
// repeated runs.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "ovmfcstd/XmlManager.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

// A document of about mib MiB of ASCII text.
std::string Generate(std::size_t mib) {
    std::string doc = "<?xml version=\"1.0\"?>\r\n<catalog version=\"3\" owner=\"bench\">\r\n";
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFF; };
    for (int s = 0; doc.size() < mib * kMiB; ++s) {
        doc += "  <section id=\"" + std::to_string(s) + "\" name=\"Section number " + std::to_string(s) + "\">\r\n";
        for (int i = 0; i < 50; ++i) {
            unsigned r = next();
            doc += "    <item id=\"" + std::to_string(s * 50 + i) + "\" price=\"" + std::to_string(r % 1000) + "." +
                   std::to_string(r % 100) + "\" available=\"" + (r & 1 ? "true" : "false") + "\">\r\n";
            doc += "      <title>Item " + std::to_string(r) + (r % 7 == 0 ? " &amp; more" : "") + "</title>\r\n";
            doc += "      <detail kind=\"" + std::to_string(r % 13) + "\">Some descriptive text for item " +
                   std::to_string(i) + ", lot " + std::to_string(r % 97) + "</detail>\r\n";
            doc += "      <tags><tag>a" + std::to_string(r % 5) + "</tag><tag>b" + std::to_string(r % 3) +
                   "</tag></tags>\r\n";
            doc += "    </item>\r\n";
        }
        doc += "  </section>\r\n";
    }
    doc += "</catalog>\r\n";
    return doc;
}

struct Docs {
    std::string utf8;
    std::u16string wide;
};

const Docs& Doc(std::size_t mib) {
    static std::map<std::size_t, Docs> docs;
    auto it = docs.find(mib);
    if (it == docs.end()) {
        Docs d;
        d.utf8 = Generate(mib);
        d.wide.assign(d.utf8.begin(), d.utf8.end());
        it = docs.emplace(mib, std::move(d)).first;
    }
    return it->second;
}

void ParseXmlManager(benchmark::State& state) {
    const Docs& d = Doc(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        CXmlManager x;
        if (!x.SetDoc(d.wide.c_str())) {
            state.SkipWithError("parse failed");
        }
        benchmark::DoNotOptimize(x.GetName());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.utf8.size()));
}

void ParsePugixml(benchmark::State& state) {
    const Docs& d = Doc(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document x;
        if (!x.load_buffer(d.utf8.data(), d.utf8.size(), pugi::parse_default, pugi::encoding_utf8)) {
            state.SkipWithError("parse failed");
        }
        benchmark::DoNotOptimize(x.first_child());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.utf8.size()));
}

void WriteXmlManager(benchmark::State& state) {
    const Docs& d = Doc(static_cast<std::size_t>(state.range(0)));
    CXmlManager x;
    x.SetDoc(d.wide.c_str());
    for (auto _ : state) {
        std::u16string text = x.GetDoc();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.utf8.size()));
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

void WritePugixml(benchmark::State& state) {
    const Docs& d = Doc(static_cast<std::size_t>(state.range(0)));
    pugi::xml_document x;
    x.load_buffer(d.utf8.data(), d.utf8.size());
    for (auto _ : state) {
        StringWriter w;
        x.save(w, "    ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
        benchmark::DoNotOptimize(w.out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.utf8.size()));
}

// Keeps the time per iteration of every benchmark by name, besides printing
// it: the median of its repetitions (the machine is shared and noisy), or
// the single run's time when there are no repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred) {
                continue;
            }
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median") {
                    median[Key(r)] = r.GetAdjustedRealTime();
                }
            } else if (r.iterations > 0) {
                single[Key(r)] = r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Milliseconds per iteration by name.
    std::map<std::string, double> Times() const {
        std::map<std::string, double> t = single;
        for (const auto& [name, ms] : median) {
            t[name] = ms;
        }
        return t;
    }

private:
    // "Name/argument", without the repetition and time-type parts.
    static std::string Key(const Run& r) { return r.run_name.function_name + "/" + r.run_name.args; }
    std::map<std::string, double> single;
    std::map<std::string, double> median;
};

// Each benchmark runs this many times; the ratios use the medians.
constexpr int kRepetitions = 5;

}  // namespace

BENCHMARK(ParseXmlManager)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);
BENCHMARK(ParsePugixml)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);
BENCHMARK(WriteXmlManager)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);
BENCHMARK(WritePugixml)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::map<std::string, double> t = reporter.Times();
    auto ratio = [&](const char* a, const char* b) {
        auto ia = t.find(a), ib = t.find(b);
        return ia != t.end() && ib != t.end() && ib->second > 0 ? ia->second / ib->second : -1.0;
    };
    std::printf("\nparse 10 MiB, CXmlManager / pugixml: %.2fx (target <= 3)\n",
                ratio("ParseXmlManager/10", "ParsePugixml/10"));
    std::printf("parse 20 MiB / 10 MiB, CXmlManager: %.2fx (target <= 2.3)\n",
                ratio("ParseXmlManager/20", "ParseXmlManager/10"));
    std::printf("parse 20 MiB / 10 MiB, pugixml: %.2fx\n", ratio("ParsePugixml/20", "ParsePugixml/10"));
    std::printf("write 10 MiB, CXmlManager / pugixml: %.2fx\n", ratio("WriteXmlManager/10", "WritePugixml/10"));
    std::printf("write 20 MiB / 10 MiB, CXmlManager: %.2fx\n", ratio("WriteXmlManager/20", "WriteXmlManager/10"));
    benchmark::Shutdown();
    return 0;
}
