// One tracking record through the tick's logic: parse, elevation colour, mirror, point command.
#include <benchmark/benchmark.h>

#include "core/number_text.h"
#include "core/pointing.h"
#include "core/tracking_record.h"

namespace {

void BM_OneRecord(benchmark::State& state) {
    const std::wstring record = L"SNAO-7 AZ123.4 EL45.6 DN145950000 UP435100000\r\n";
    for (auto _ : state) {
        const vorkel::ParsedRecord parsed = vorkel::parseTrackingRecord(record);
        const bool belowHorizon = *vorkel::numberFromText(parsed.record.elevation) < 0;
        const auto mirror = vorkel::mirrorPosition(parsed.record.azimuth, parsed.record.elevation);
        const auto command = vorkel::pointCommand(mirror->azimuth, mirror->elevation);
        benchmark::DoNotOptimize(belowHorizon);
        benchmark::DoNotOptimize(command);
    }
}
BENCHMARK(BM_OneRecord);

}  // namespace

BENCHMARK_MAIN();
