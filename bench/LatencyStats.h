#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Percentiles of a set of samples (any unit), for the threading benchmarks.
struct LatencyStats {
    double p50 = 0;
    double p99 = 0;
    double max = 0;

    static LatencyStats of(std::vector<double> samples)
    {
        LatencyStats result;
        if (samples.empty())
            return result;
        std::sort(samples.begin(), samples.end());
        const auto at = [&samples](double quantile) {
            return samples[std::min(samples.size() - 1, static_cast<std::size_t>(quantile * samples.size()))];
        };
        result.p50 = at(0.5);
        result.p99 = at(0.99);
        result.max = samples.back();
        return result;
    }
};
