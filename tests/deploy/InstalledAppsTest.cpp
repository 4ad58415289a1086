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

TEST_P(ReadInstalledAppLineTest, ReadsTheLinesFields) {
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
    {"real_development_line_with_test_in_its_package_name",
     "com.acme.speedtest.testDev_speedtest__0b911cdd::testDev_speedtest__0b911cdd,3.2.0.1,,,"
     "402112,name::Speed Test,source::developer",
     {"Speed Test", "3.2.0.1", "com.acme.speedtest", "testDev_speedtest__0b911cdd"}},
    {"package_named_test",
     "test.testDev_test_______1a2b3c4d::testDev_test_______1a2b3c4d,1.0.0.0,,,512,name::Tester,"
     "source::developer",
     {"Tester", "1.0.0.0", "test", "testDev_test_______1a2b3c4d"}},
    {"test_inside_the_package_name_without_name_field",
     "com.test.app.testDev_app________99aa00bb::testDev_app________99aa00bb,2.0,source::developer",
     {"app", "2.0", "com.test.app", "testDev_app________99aa00bb"}},
    {"folder_differs_from_the_id",
     "com.acme.notes.gYABgJYF1wpCyg7iKxA1Qx::notes_folder,1.4.0.2,,,88,name::Pocket Notes,"
     "source::developer",
     {"Pocket Notes", "1.4.0.2", "com.acme.notes", "gYABgJYF1wpCyg7iKxA1Qx"}},
    {"sideloaded_app_takes_its_name_field",
     "com.acme.notes.abcd1234::abcd1234,1.0,name::Pocket Notes,source::developer",
     {"Pocket Notes", "1.0", "com.acme.notes", "abcd1234"}},
    {"id_characters_early_in_the_package_name_read_right",
     "com.abcd.app.abcd1234::abcd1234,1.0,source::developer",
     {"app", "1.0", "com.abcd.app", "abcd1234"}},
    {"other_fields_ending_in_name_are_not_the_name",
     "com.x.abcd1::abcd1,1.0,dname::Wrong,source::appworld,name::Right,",
     {"Right", "1.0", "com.x", "abcd1"}},
    {"no_comma_after_the_version",
     "com.x.abcd1::abcd1 source::developer",
     {"x", "", "com.x", "abcd1"}},
    {"name_field_at_the_line_end",
     "com.x.abcd1::abcd1,1.0,source::appworld,name::Maps",
     {"Maps", "1.0", "com.x", "abcd1"}},
    {"appworld_line_without_name_takes_the_package_names_last_part",
     "com.example.abcd1::abcd1,2.0,source::appworld",
     {"example", "2.0", "com.example", "abcd1"}},
    {"no_dot_before_the_colons_is_read_by_position",
     "xy:abcd::abcd,1.0,source::developer",
     {"xy", "1.0", "xy", "abcd"}},
    {"no_dot_before_the_colons_appworld_by_position",
     "xy:abcd::abcd,1.0,source::appworld,name::Old Style,",
     {"Old Style", "1.0", "xy", "abcd"}},
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
