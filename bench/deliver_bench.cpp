// The cost of one export call against the floor of the same work done by
// hand: a memcpy of the delivered bytes and the zero store. Both are called
// through a function pointer, as the host calls an export. Prints each case's
// time and its ratio to the floor measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <map>
#include <string>

#include "catalogue/native_exports.h"
#include "catalogue/rows.h"

namespace {

struct Case {
    HeExport fn;
    std::string_view text;
};

// Exports of the catalogue with texts of 5, 38 and 129 bytes.
Case export_named(std::string_view name) {
    Case c{};
    for (const auto& [export_name, fn] : he::kNativeExports)
        if (export_name == name) c.fn = fn;
    for (const auto& e : he::kCatalogueRows)
        if (e.name == name) c.text = e.text;
    return c;
}

const Case kCases[] = {export_named("GetTrMnuSave"), export_named("GetTrDlgMain2"),
                       export_named("GetTrFmtImageProperties")};

// The floor: the bytes a call must move, moved directly.
const char* g_floor_text;
std::size_t g_floor_size;
__attribute__((noinline)) char* HE_WINAPI floor_copy(char* buffer, int max_len) {
    const std::size_t n = std::min<std::size_t>(g_floor_size, static_cast<unsigned>(max_len));
    std::memcpy(buffer, g_floor_text, n);
    buffer[n] = 0;
    return buffer;
}

void run(benchmark::State& state, HeExport fn, std::string_view text, int max_len) {
    g_floor_text = text.data();
    g_floor_size = text.size();
    char buffer[256];
    HeExport volatile target = fn;
    for (auto _ : state) {
        benchmark::DoNotOptimize(target(buffer, max_len));
        benchmark::ClobberMemory();
    }
}

// Collects each run's time per iteration to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            // With repetitions, the median stands for the case.
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            ns[r.run_name.str()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> labels;
    for (const auto& c : kCases) {
        const auto size = std::to_string(c.text.size());
        for (const int max_len : {255, static_cast<int>(c.text.size()) / 2}) {
            const std::string label = size + "B/MaxLen" + std::to_string(max_len);
            labels.push_back(label);
            benchmark::RegisterBenchmark(("export/" + label).c_str(), run, c.fn, c.text, max_len);
            benchmark::RegisterBenchmark(("floor/" + label).c_str(), run, floor_copy, c.text, max_len);
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-22s %10s %10s %8s\n", "case", "export ns", "floor ns", "ratio");
    for (const auto& label : labels) {
        const double e = reporter.ns["export/" + label], f = reporter.ns["floor/" + label];
        std::printf("%-22s %10.2f %10.2f %7.2fx\n", label.c_str(), e, f, f > 0 ? e / f : 0.0);
    }
    return 0;
}
