// What the benchmarks share: one core for the whole run, the thread's CPU time, and the
// median and geometric mean that sum up per-file ratios.
#pragma once

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace benchstats {

// Keeps the calling thread on the core it is running on and returns that core, or -1 when it
// cannot. Moved from core to core, a run starts over with cold caches and branch history,
// and the ratios between engines wander by a few per cent from one run to the next.
inline int PinToCurrentCore() {
    const int core = sched_getcpu();
    if (core < 0) return -1;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0 ? core : -1;
}

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
