// Reading and writing a hive's text as it grows in the two directions a file controls: values in
// one key, and keys nested one in another (up to the 512-level limit). Each benchmark fits the
// growth of its time; both should report O(N): a quadratic reader or writer shows as O(N^2).
// The bytes_written counter of the nesting case shows the text growing with what is stored.
//
//   registry_hive [--benchmark_filter=...]
#include "plat/registry.h"
#include "platform/registry/hive_text.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using host::reg::HiveTextError;
using host::reg::Key;

std::string ManyValues(int64_t count) {
    std::string text = "YRA registry hive 1\n[k]\n";
    for (int64_t i = 0; i < count; ++i)
        text += "\"value " + std::to_string(i) + "\"=dword:0000002A\n";
    return text;
}

void ReadManyValues(benchmark::State& state) {
    const std::string text = ManyValues(state.range(0));
    for (auto _ : state) {
        Key root;
        HiveTextError error;
        if (!host::reg::ReadHiveText(text, &root, &error)) state.SkipWithError(error.reason.c_str());
        benchmark::DoNotOptimize(root);
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(int64_t(text.size()) * int64_t(state.iterations()));
}
BENCHMARK(ReadManyValues)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity();

void WriteDeepKeys(benchmark::State& state) {
    Key root;
    Key* key = &root;
    const std::u16string name(100, u'n');
    for (int64_t i = 0; i < state.range(0); ++i) {
        key = key->AddChild(name);
        key->SetValue(u"v", REG_DWORD, {1, 0, 0, 0});
    }
    size_t written = 0;
    for (auto _ : state) {
        std::string text = host::reg::WriteHiveText(root);
        written = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetComplexityN(state.range(0));
    state.counters["bytes_written"] = double(written);
}
BENCHMARK(WriteDeepKeys)->RangeMultiplier(2)->Range(16, int64_t(host::reg::kMaxKeyDepth))->Complexity();

} // namespace

BENCHMARK_MAIN();
