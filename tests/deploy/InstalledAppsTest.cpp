#include "InstalledApps.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

struct LineCase {
    const char* what;
    QString line;
    InstalledApp expected;
};

TEST(ReadInstalledAppLine, ReadsLinesByPosition) {
    const LineCase cases[] = {
        {"developer line",
         "com.example.notes.abcd1234efgh::abcd1234efgh,1.0.0.7,source::developer",
         {"notes", "1.0.0.7", "com.example.notes", "abcd1234efgh"}},
        {"appworld line",
         "com.example.maps.wxyz5678ijkl::wxyz5678ijkl,2.1.0.3,source::appworld,name::Example "
         "Maps,",
         {"Example Maps", "2.1.0.3", "com.example.maps", "wxyz5678ijkl"}},
        {"no marker, no row", "com.example.notes.abcd1234efgh::abcd1234efgh,1.0.0.7,", {}},
        {"package name without a dot is the app name",
         "notes.abcd1234::abcd1234,1.0,source::developer",
         {"notes", "1.0", "notes", "abcd1234"}},
        {"package name ending in a dot gives no app name",
         "com.example..abcd1234::abcd1234,1.0,source::developer",
         {"", "1.0", "com.example.", "abcd1234"}},
        {"probe at the line's start gives no package name, so no app name",
         "abcd.x::abcd,1.0,source::developer",
         {"", ".0", "", "bcd.x"}},
        {"no comma after the version",
         "com.x.abcd1::abcd1 source::developer",
         {"x", "", "com.x", "abcd1"}},
        {"probe occurring earlier shifts every value",
         "com.abcd.app.abcd1234::abcd1234,1.0,source::developer",
         {"com", "", "com", "abcd.app.abcd1234"}},
        {"appworld name without a closing comma",
         "com.x.abcd1::abcd1,1.0,source::appworld,name::Maps",
         {"", "1.0", "com.x", "abcd1"}},
        {"appworld line without name:: reads from the sixth character",
         "com.example.abcd1::abcd1,2.0,source::appworld",
         {"xample.abcd1::abcd1", "2.0", "com.example", "abcd1"}},
        {"both markers: the appworld reading wins",
         "com.x.abcd1::abcd1,3.0,source::developer,source::appworld,name::Shown,",
         {"Shown", "3.0", "com.x", "abcd1"}},
    };
    for (const LineCase& c : cases) {
        const InstalledApp app = ReadInstalledAppLine(c.line);
        EXPECT_EQ(app.appName, c.expected.appName) << c.what;
        EXPECT_EQ(app.version, c.expected.version) << c.what;
        EXPECT_EQ(app.packageName, c.expected.packageName) << c.what;
        EXPECT_EQ(app.packageId, c.expected.packageId) << c.what;
    }
}

} // namespace
