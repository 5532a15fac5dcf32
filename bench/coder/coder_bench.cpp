// Throughput of MD5, Base64 encoding and Base64 decoding on 1 MiB and 64 MiB
// inputs, each beside OpenSSL's counterpart in the same run; the summary
// prints our speed as a ratio of OpenSSL's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "ovcoder/OvBase64.h"
#include "ovcoder/OvCrypt.h"

namespace {

const std::vector<unsigned char>& RandomBytes(std::size_t size) {
    static std::map<std::size_t, std::vector<unsigned char>> cache;
    auto& bytes = cache[size];
    if (bytes.empty()) {
        std::mt19937_64 rng(size);
        bytes.resize(size);
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(rng());
        }
    }
    return bytes;
}

// Base64 text of exactly size characters.
const std::vector<char>& Base64Text(std::size_t size) {
    static std::map<std::size_t, std::vector<char>> cache;
    auto& text = cache[size];
    if (text.empty()) {
        const auto& bytes = RandomBytes(size / 4 * 3);
        text.resize(size + 1);
        OvBase64_EncodeBuffer(bytes.data(), static_cast<int>(bytes.size()), text.data());
        text.pop_back();
    }
    return text;
}

void BM_Md5_Ours(benchmark::State& state) {
    const auto& data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(OvCrypt_MD5(data.data(), static_cast<unsigned>(data.size())));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Md5_OpenSSL(benchmark::State& state) {
    const auto& data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    unsigned char digest[16];
    unsigned int size = 0;
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), digest, &size, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Encode_Ours(benchmark::State& state) {
    const auto& data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    std::vector<char> out((data.size() + 2) / 3 * 4 + 1);
    for (auto _ : state) {
        OvBase64_EncodeBuffer(data.data(), static_cast<int>(data.size()), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Encode_OpenSSL(benchmark::State& state) {
    const auto& data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> out((data.size() + 2) / 3 * 4 + 1);
    for (auto _ : state) {
        EVP_EncodeBlock(out.data(), data.data(), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Decode_Ours(benchmark::State& state) {
    const auto& text = Base64Text(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> out(text.size() / 4 * 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(OvBase64_DecodeBuffer(text.data(), static_cast<int>(text.size()), out.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Decode_OpenSSL(benchmark::State& state) {
    const auto& text = Base64Text(static_cast<std::size_t>(state.range(0)));
    std::vector<unsigned char> out(text.size() / 4 * 3);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), in, static_cast<int>(text.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

constexpr std::int64_t kMiB = 1 << 20;
BENCHMARK(BM_Md5_Ours)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_Md5_OpenSSL)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_Encode_Ours)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_Encode_OpenSSL)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_Decode_Ours)->Arg(kMiB)->Arg(64 * kMiB);
BENCHMARK(BM_Decode_OpenSSL)->Arg(kMiB)->Arg(64 * kMiB);

// The console output, then one line per operation and size with our
// throughput as a ratio of OpenSSL's (above 1: faster), from CPU time, which a
// machine shared with other work disturbs less than wall time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string name = run.benchmark_name();  // BM_<op>_<who>/<size>
            const auto slash = name.find('/');
            const auto under = name.rfind('_', slash);
            const std::string key = name.substr(3, under - 3) + name.substr(slash);
            (name.compare(under + 1, slash - under - 1, "Ours") == 0 ? m_ours : m_peer)[key] = run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nours / OpenSSL throughput (targets: Md5 >= 0.80, Encode and Decode >= 1.00)\n");
        for (const auto& [key, ours] : m_ours) {
            const auto peer = m_peer.find(key);
            if (peer != m_peer.end() && ours > 0) {
                std::printf("  %-16s %.2fx\n", key.c_str(), peer->second / ours);
            }
        }
    }

private:
    std::map<std::string, double> m_ours, m_peer;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
