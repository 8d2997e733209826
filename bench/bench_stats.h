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
    if (samples.empty()) {
        return {};
    }
    std::sort(samples.begin(), samples.end());
    auto rank = [&](double p) {
        const auto index = static_cast<size_t>(p * static_cast<double>(samples.size()) + 0.999999);
        return samples[std::min(std::max<size_t>(index, 1), samples.size()) - 1];
    };
    return {samples.size(), rank(0.50), rank(0.90), rank(0.99), samples.back()};
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
