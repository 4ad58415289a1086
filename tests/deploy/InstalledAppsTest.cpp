#include "InstalledApps.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

struct LineCase {
    const char* name;
    QString line;
    InstalledApp expected;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadInstalledAppLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ReadInstalledAppLineTest, ReadsTheLineByPosition) {
    const LineCase& c = GetParam();
    const InstalledApp app = ReadInstalledAppLine(c.line);
    EXPECT_EQ(app.appName, c.expected.appName);
    EXPECT_EQ(app.version, c.expected.version);
    EXPECT_EQ(app.packageName, c.expected.packageName);
    EXPECT_EQ(app.packageId, c.expected.packageId);
}

const LineCase LineCases[] = {
    {"developer_line",
     "com.example.notes.abcd1234efgh::abcd1234efgh,1.0.0.7,source::developer",
     {"notes", "1.0.0.7", "com.example.notes", "abcd1234efgh"}},
    {"appworld_line",
     "com.example.maps.wxyz5678ijkl::wxyz5678ijkl,2.1.0.3,source::appworld,name::Example Maps,",
     {"Example Maps", "2.1.0.3", "com.example.maps", "wxyz5678ijkl"}},
    {"no_marker_gives_no_row", "com.example.notes.abcd1234efgh::abcd1234efgh,1.0.0.7,", {}},
    {"tool_message_gives_no_row", "Info: Sending request: LIST", {}},
    {"package_name_without_a_dot_is_the_app_name",
     "notes.abcd1234::abcd1234,1.0,source::developer",
     {"notes", "1.0", "notes", "abcd1234"}},
    {"package_name_ending_in_a_dot_gives_no_app_name",
     "com.example..abcd1234::abcd1234,1.0,source::developer",
     {"", "1.0", "com.example.", "abcd1234"}},
    {"probe_at_the_start_gives_no_package_name",
     "abcd.x::abcd,1.0,source::developer",
     {"", ".0", "", "bcd.x"}},
    {"probe_found_early_shifts_every_value",
     "com.abcd.app.abcd1234::abcd1234,1.0,source::developer",
     {"com", "", "com", "abcd.app.abcd1234"}},
    {"no_comma_after_the_version",
     "com.x.abcd1::abcd1 source::developer",
     {"x", "", "com.x", "abcd1"}},
    {"appworld_name_without_a_closing_comma",
     "com.x.abcd1::abcd1,1.0,source::appworld,name::Maps",
     {"", "1.0", "com.x", "abcd1"}},
    {"appworld_line_without_name_reads_from_the_sixth_character",
     "com.example.abcd1::abcd1,2.0,source::appworld",
     {"xample.abcd1::abcd1", "2.0", "com.example", "abcd1"}},
    {"both_markers_the_appworld_reading_wins",
     "com.x.abcd1::abcd1,3.0,source::developer,source::appworld,name::Shown,",
     {"Shown", "3.0", "com.x", "abcd1"}},
    {"blanks_and_shell_characters_are_plain_text",
     "com.ev il;$(x).Q9Zk 'a`b`::Q9Zk 'a`b`,1.0,source::developer",
     {"ev il;$(x)", "1.0", "com.ev il;$(x)", "Q9Zk 'a`b`"}},
};

INSTANTIATE_TEST_SUITE_P(Lines, ReadInstalledAppLineTest, testing::ValuesIn(LineCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct StatusCase {
    const char* name;
    DeployAction action;
    QString output;
    QString status;
};

void PrintTo(const StatusCase& c, std::ostream* out) {
    *out << c.name;
}

class AppActionStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(AppActionStatusTest, GivesTheActionsWord) {
    EXPECT_EQ(AppActionStatus(GetParam().action, GetParam().output), GetParam().status);
}

const StatusCase StatusCases[] = {
    {"check_running", DeployAction::IsAppRunning,
     "Info: Sending request: IS_APP_RUNNING\nresult::true\n", "Running"},
    {"check_marker_anywhere", DeployAction::IsAppRunning, "x result::true y", "Running"},
    {"check_not_running", DeployAction::IsAppRunning, "result::false\n", "Stop"},
    {"check_marker_in_another_case", DeployAction::IsAppRunning, "result::True\n", "Stop"},
    {"check_empty_output", DeployAction::IsAppRunning, "", "Stop"},
    {"launch_whatever_the_output", DeployAction::LaunchApp, "result::false", "Running"},
    {"terminate_whatever_the_output", DeployAction::TerminateApp, "result::true", "Stop"},
    {"uninstall", DeployAction::UninstallApp, "result::success", "Uninstalled"},
};

INSTANTIATE_TEST_SUITE_P(Actions, AppActionStatusTest, testing::ValuesIn(StatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
