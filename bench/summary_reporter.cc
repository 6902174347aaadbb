#include "summary_reporter.h"

#include <cstdio>

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (run.run_type == Run::RT_Aggregate && !median) continue;
    Figure& figure = figures[run.run_name.function_name];
    if (figure.median && !median) continue;
    figure.median = median;
    const double toNanoseconds = benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                 benchmark::GetTimeUnitMultiplier(run.time_unit);
    figure.nanoseconds = run.GetAdjustedRealTime() * toNanoseconds;
    figure.cpuNanoseconds = run.GetAdjustedCPUTime() * toNanoseconds;
    const auto bytes = run.counters.find("bytes_per_second");
    figure.bytesPerSecond = bytes != run.counters.end() ? bytes->second.value : 0;
  }
}

const SummaryReporter::Figure* SummaryReporter::Find(const std::string& name) const {
  const auto found = figures.find(name);
  return found != figures.end() ? &found->second : nullptr;
}

void SummaryReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::FILE* out = stdout;
  std::fprintf(out, "\nSummary (%s):\n",
               !figures.empty() && figures.begin()->second.median ? "medians" : "single runs");
  if (const Figure* record = Find("BM_RecordLevelUp")) {
    std::fprintf(out, "  record Tavi_Event_LevelUp:         %8.1f ns per event (wall-clock)\n",
                 record->nanoseconds);
  }
  const Figure* fast = Find("BM_CycleFastExports");
  const Figure* fastCore = Find("BM_CycleFastCore");
  const Figure* baseline = Find("BM_CycleBaseline");
  for (const auto& [label, figure] :
       {std::pair{"fast, through the C interface", fast},
        std::pair{"fast, on the classes", fastCore}, std::pair{"baseline (documents)", baseline}}) {
    if (figure != nullptr) {
      std::fprintf(out, "  30-event cycle, %-30s %8.1f ns per event (CPU %.1f ns)\n", label,
                   figure->nanoseconds, figure->cpuNanoseconds);
    }
  }
  for (const auto& [label, figure] :
       {std::pair{"(C interface):", fast}, std::pair{"(classes):", fastCore}}) {
    if (baseline != nullptr && figure != nullptr) {
      std::fprintf(out, "  ratio baseline / fast %-15s %5.1fx (CPU %.1fx)\n", label,
                   baseline->nanoseconds / figure->nanoseconds,
                   baseline->cpuNanoseconds / figure->cpuNanoseconds);
    }
  }
  for (const auto& [label, name] :
       {std::pair{"fast", "BM_WriteMessage"}, std::pair{"baseline", "BM_WriteMessageBaseline"}}) {
    if (const Figure* write = Find(name)) {
      std::fprintf(out, "  message output, %-8s %6.2f GB/s (bytes per CPU second)\n", label,
                   write->bytesPerSecond / 1e9);
    }
  }
  std::fflush(out);
}
