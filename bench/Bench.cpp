#include "Bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/resource.h>

namespace qvc::bench {

Summary Summarise(std::vector<double> samplesUs) {
    Summary s;
    s.count = samplesUs.size();
    if (samplesUs.empty()) {
        return s;
    }
    std::sort(samplesUs.begin(), samplesUs.end());
    s.medianUs = samplesUs[samplesUs.size() / 2];
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(s.count)));
    s.p99Us = samplesUs[std::max<std::size_t>(rank, 1) - 1];
    s.maxUs = samplesUs.back();
    return s;
}

Summary TimeRuns(int n, int warmUp, const std::function<void()>& once) {
    for (int i = 0; i < warmUp; ++i) {
        once();
    }
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        const auto start = std::chrono::steady_clock::now();
        once();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    return Summarise(std::move(samples));
}

double ProcessCpuUs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec);
    };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

} // namespace qvc::bench
