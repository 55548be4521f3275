// Summary of a set of timing samples: count, median, 99th percentile, mean,
// minimum and maximum.
//
// Contract: Summarize() takes the samples by value and sorts its copy; an
// empty set gives an all-zero summary. Percentiles use the nearest-rank
// rule (the smallest sample with at least p% of the samples at or below it),
// so the reported numbers are always samples that were actually observed.
// Thread-safety: pure functions, no shared state.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <vector>

namespace velbench {

struct SampleSummary {
  std::size_t count = 0;
  double median = 0;
  double p99 = 0;
  double mean = 0;
  double min = 0;
  double max = 0;
};

// Nearest-rank percentile of an ascending, non-empty set; p in (0, 100].
inline double NearestRank(const std::vector<double>& sorted, double p) {
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

inline SampleSummary Summarize(std::vector<double> samples) {
  SampleSummary s;
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  s.count = samples.size();
  s.median = NearestRank(samples, 50);
  s.p99 = NearestRank(samples, 99);
  s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(s.count);
  s.min = samples.front();
  s.max = samples.back();
  return s;
}

}  // namespace velbench
