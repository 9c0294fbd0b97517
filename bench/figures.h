#pragma once
// How every benchmark reports: one line per figure with its median over the runs, the
// fastest and slowest beside it, and a trailing #key that scripts/bench files it under.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

inline double now_ms() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / frequency;
}

struct summary_t {
    double median = 0, min = 0, max = 0;
};

inline summary_t summarize(std::vector<double> samples) {
    summary_t s;
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    s.min = samples.front();
    s.max = samples.back();
    return s;
}

// The label must not hold the word "median": the script splits the line there.
inline void print_figure(const char* key, const char* label, const char* unit,
                         const std::vector<double>& samples) {
    const summary_t s = summarize(samples);
    std::printf("%-60s median %12.3f %-7s min %12.3f   max %12.3f   n=%zu  #%s\n", label, s.median,
                unit, s.min, s.max, samples.size(), key);
    std::fflush(stdout);
}

// Per-run quotients of two series measured side by side.
inline std::vector<double> ratios(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> r;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (b[i] > 0) r.push_back(a[i] / b[i]);
    return r;
}
