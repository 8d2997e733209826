// Percentiles and small file helpers for the benchmarks.
#pragma once

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

struct Stats {
    size_t count = 0;
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
};

// Nearest-rank percentiles.
inline Stats Summarise(std::vector<double> samples) {
    Stats s;
    s.count = samples.size();
    if (samples.empty()) {
        return s;
    }
    std::sort(samples.begin(), samples.end());
    auto rank = [&](double p) {
        size_t index = static_cast<size_t>(p * static_cast<double>(samples.size()) + 0.999999);
        index = index == 0 ? 0 : index - 1;
        return samples[std::min(index, samples.size() - 1)];
    };
    s.p50 = rank(0.50);
    s.p90 = rank(0.90);
    s.p99 = rank(0.99);
    s.max = samples.back();
    return s;
}

// printf into the end of a string.
template <typename... Args> void Append(std::string& to, const char* format, Args... args) {
    char text[1024];
    std::snprintf(text, sizeof text, format, args...);
    to += text;
}

inline bool WriteTextFile(const char* path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text << std::flush;
    return file.good();
}
