// Two operations timed in turns, for the benchmarks' side-by-side ratios.

#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

// Times first and then second in each iteration and reports, as `counter`, the median of the
// pairs' ratios second / first. On a shared machine both drift with the other guests' load, by
// up to a half between runs; the ratio of each pair holds still where the ratio of two rows does
// not.
template <typename First, typename Second>
inline void runPaired(benchmark::State& state, const char* counter, First first, Second second)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> ratios;
    for (auto _ : state) {
        const auto start = Clock::now();
        first();
        benchmark::ClobberMemory();
        const auto between = Clock::now();
        second();
        benchmark::ClobberMemory();
        const auto end = Clock::now();
        ratios.push_back(std::chrono::duration<double>(end - between) / std::chrono::duration<double>(between - start));
    }
    if (ratios.empty())
        return;
    const auto middle = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
    std::nth_element(ratios.begin(), middle, ratios.end());
    state.counters[counter] = *middle;
}
