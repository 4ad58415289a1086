#pragma once

// What the window benchmarks (kestrane-apps-bench, kestrane-check-status-bench) start with: an
// offscreen application unless QT_QPA_PLATFORM is set, English numbers and dates, the number of
// runs from the first argument, and a device simulator home of their own.
#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace kestrane::bench {

class WindowBench {
public:
    WindowBench(int& argc, char** argv, int defaultRuns)
        : application_(OffscreenUnlessSet(argc), argv),
          runs(argc > 1 ? std::max(1, std::atoi(argv[1])) : defaultRuns) {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qputenv("KESTRANE_DEVICESIM_HOME", home.path().toUtf8());
    }

private:
    // Before the application is made: it reads the platform then.
    static int& OffscreenUnlessSet(int& argc) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }

    QApplication application_;

public:
    const int runs;
    QTemporaryDir home; // the simulator's home
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace kestrane::bench
