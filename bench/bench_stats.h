// What the benchmarks share: the thread's CPU time, and the median and geometric mean that
// sum up per-file ratios.
#pragma once

#include <time.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace benchstats {

// CPU time of the calling thread: time spent waiting for a core on a busy machine does not count.
inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double GeometricMean(const std::vector<double>& v) {
    if (v.empty()) return 0;
    double logs = 0;
    for (double x : v) logs += std::log(x);
    return std::exp(logs / static_cast<double>(v.size()));
}

}  // namespace benchstats
