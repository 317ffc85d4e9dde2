#include "demo/profiler.h"

#include "framebuffer/timer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

Profiler::Profiler() {
    traces_[totalLabel].samples.reserve(reservedFrames);
}

void Profiler::begin(std::string_view label) {
    for (auto& [name, trace] : traces_) {
        std::vector<double>& samples = trace.samples;
        if (samples.size() == samples.capacity())
            samples.reserve(samples.capacity() * 2 + 1);
    }
    auto it = traces_.find(label);
    if (it == traces_.end()) {
        it = traces_.emplace(std::string(label), ProfileTrace()).first;
        it->second.samples.reserve(reservedFrames);
    }
    it->second.start = qbx_getfloat();
}

void Profiler::end(std::string_view label) {
    const double now = qbx_getfloat();
    auto it = traces_.find(label);
    if (it == traces_.end())
        return;
    ProfileTrace& trace = it->second;
    trace.start = now - trace.start;
    trace.samples.push_back(trace.start * 1000.0);
}

ProfileAnalyzer::ProfileAnalyzer(const ProfileTraces& traces, uint32_t frames)
    : traces_(traces), frames_(frames) {}

const std::vector<double>* ProfileAnalyzer::sortedSamples(std::string_view label) {
    if (!isSorted_) {
        sorted_ = traces_;
        for (auto& [name, trace] : sorted_)
            std::sort(trace.samples.begin(), trace.samples.end());
        isSorted_ = true;
    }
    auto it = sorted_.find(label);
    if (it == sorted_.end() || it->second.samples.empty())
        return nullptr;
    return &it->second.samples;
}

double ProfileAnalyzer::total(std::string_view label) {
    const std::vector<double>* samples = sortedSamples(label);
    double sum = 0.0;
    if (samples)
        for (double s : *samples)
            sum += s;
    return sum;
}

double ProfileAnalyzer::average(std::string_view label) {
    const std::vector<double>* samples = sortedSamples(label);
    return samples ? total(label) / static_cast<double>(samples->size()) : 0.0;
}

double ProfileAnalyzer::percentile(std::string_view label, int p) {
    const std::vector<double>* samples = sortedSamples(label);
    if (!samples || p < 0 || p > 100)
        return 0.0;
    const uint32_t last = static_cast<uint32_t>(samples->size() - 1);
    return (*samples)[last * static_cast<uint32_t>(p) / 100u];
}

namespace {

void writeCsv(const ProfileAnalyzer& analyzer, std::ostream& csv) {
    csv << "frame #;";
    for (const auto& [label, trace] : analyzer.traces())
        csv << label << ";";
    csv << "\n";
    for (uint32_t i = 0; i < analyzer.frames(); ++i) {
        csv << i << ";";
        for (const auto& [label, trace] : analyzer.traces())
            csv << (i < trace.samples.size() ? trace.samples[i] : 0.0) << ";";
        csv << "\n";
    }
}

} // namespace

void dumpProfile(const Profiler& profiler, uint32_t frames) {
    ProfileAnalyzer analyzer(profiler.traces(), frames);
    {
        std::ofstream csv("profile.csv", std::ios::out | std::ios::trunc);
        if (csv)
            writeCsv(analyzer, csv);
    }
    const double total = analyzer.total(Profiler::totalLabel);
    const double average = analyzer.average(Profiler::totalLabel);
    const double longest = analyzer.percentile(Profiler::totalLabel, 100);
    const double p95 = analyzer.percentile(Profiler::totalLabel, 95);
    std::printf("\n%i frames in %lf seconds = avg %.3lf fps\n", static_cast<int>(frames),
                total * 0.001, 1000.0 / average);
    std::printf("longest frame %.2lf ms [%.2lf fps], 95%% perc %.2lf ms [%.2lf fps]\n", longest,
                1000.0 / longest, p95, 1000.0 / p95);
    std::fflush(stdout);
}
