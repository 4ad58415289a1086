// Every reader of device output (the console job's chunked line feed, installed-application and
// progress lines, device information, action answers, the command's judgement, installation
// failures, failure texts) over one 10 MB line and over a million short lines: each must finish
// and take memory in proportion to the text. Their time is measured by the benchmark
// (bench/device_output_bench.cpp), not here.
#include "DeviceOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using namespace kestrane;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true; // freed memory stays in quarantine: resident sizes say nothing
#else
constexpr bool Sanitized = false;
#endif

// The process's peak resident size in bytes since the last ResetPeak (VmHWM).
long long PeakResident() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return -1;
}

bool ResetPeak() {
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    return static_cast<bool>(refs.flush());
}

struct Volume {
    const char* name;
    QString (*make)();
    qsizetype lines;
    int progress;
};

void PrintTo(const Volume& v, std::ostream* out) {
    *out << v.name;
}

class DeviceOutputVolume : public ::testing::TestWithParam<Volume> {};

TEST_P(DeviceOutputVolume, IsReadInMemoryProportionalToTheText) {
    const Volume& v = GetParam();
    const QString text = v.make();
    // The text's own size in bytes (UTF-16).
    const long long textBytes = static_cast<long long>(text.size()) * 2;
    const bool measured = !Sanitized && ResetPeak();
    const long long before = PeakResident();
    const DeviceOutputRead read = ReadDeviceOutput(text, EvenChunks(text.size(), 4096), 1, false);
    const long long growth = PeakResident() - before;
    EXPECT_EQ(read.lines, v.lines);
    EXPECT_EQ(read.progress, v.progress);
    EXPECT_EQ(read.connected, v.lines >= 3); // Connect needs three lines
    if (measured) {
        // The lines, kept twice (as fed and as split), the output, and the failure texts
        // that hold it: a few copies of the text, never one per line or per chunk.
        EXPECT_LT(growth, 16 * textBytes + (64 << 20)) << "text " << textBytes << " bytes";
        std::printf("peak resident growth %lld MiB for %lld MiB of text\n", growth >> 20,
                    textBytes >> 20);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Readers, DeviceOutputVolume,
    ::testing::Values(Volume{"OneTenMegabyteLine", [] { return OneLongLine(10'000'000); }, 1, 12},
                      Volume{"AMillionShortLines", [] { return ManyShortLines(1'000'000); },
                             1'000'000, 100}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
