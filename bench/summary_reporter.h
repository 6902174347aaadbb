// The console table, followed by the figures the performance goals are
// stated in: record per event, the 30-event cycle per event for the fast
// path and the baseline, their ratio, and the message output in GB/s.
// With --benchmark_repetitions the medians are used. Times are wall-clock
// (what the game thread waits), with CPU time beside them: on a loaded
// machine the two part.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  struct Figure {
    double nanoseconds = 0;  // wall-clock time per iteration
    double cpuNanoseconds = 0;
    double bytesPerSecond = 0;
    bool median = false;
  };
  const Figure* Find(const std::string& name) const;

  std::map<std::string, Figure> figures;
};
