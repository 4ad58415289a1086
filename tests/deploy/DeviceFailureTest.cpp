// Telling what a failed device command means, from the texts the deploy tool was seen to write.

#include "DeviceFailure.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

const QString ClosedConnection =
    QStringLiteral("Dec 10, 2026 3:39:25 PM org.apache.http.impl.client.DefaultRequestDirector "
                   "execute\n"
                   "INFO: I/O exception (org.apache.http.NoHttpResponseException) caught when "
                   "processing request: The target server failed to respond\n"
                   "Dec 10, 2026 3:39:25 PM org.apache.http.impl.client.DefaultRequestDirector "
                   "execute\n"
                   "INFO: Retrying request\n")
        .repeated(3) +
    QStringLiteral("Error: The target server failed to respond\n");

const QString RefusedInstall = QStringLiteral("Info: Sending request: INSTALL\n"
                                              "Info: Action: Install\n"
                                              "Info: Progress 10%...\n"
                                              "Info: Progress 100%...\n"
                                              "actual_dname::\n"
                                              "actual_id::\n"
                                              "actual_version::\n");

struct FailureCase {
    const char* name;
    QString output;
    int exitCode;
    FailureKind kind;
    QString lead;   // the message begins so
    QString reason; // the one-line reason, exactly
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class DescribeToolFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(DescribeToolFailureTest, NamesTheKindAndSaysWhatToDo) {
    const FailureCase& c = GetParam();
    const DeviceFailure failure = DescribeToolFailure(c.output, c.exitCode);
    EXPECT_EQ(failure.kind, c.kind) << failure.message.toStdString();
    EXPECT_TRUE(failure.message.startsWith(c.lead)) << failure.message.toStdString();
    EXPECT_EQ(failure.reason, c.reason);
    // Java's logging never leads; it stays in the details with the rest of the tool's text.
    EXPECT_FALSE(failure.message.contains("INFO:")) << failure.message.toStdString();
    EXPECT_FALSE(failure.reason.contains('\n'));
    EXPECT_EQ(failure.details.isEmpty(), c.output.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    ObservedTexts, DescribeToolFailureTest,
    testing::Values(
        FailureCase{"WrongPassword",
                    "Error: Authentication failed. There have been 3 of 10 failed attempts\n", 3,
                    FailureKind::WrongPassword,
                    "The device refused the password: 3 of 10 failed attempts.",
                    "wrong password (3 of 10 failed attempts)"},
        FailureCase{"NoAttemptsLeft",
                    "Error: Authentication failed. There have been too many failed attempts "
                    "(10). Please enter your password on the device to reset the failed "
                    "attempts count and try again\n",
                    4, FailureKind::NoAttemptsLeft,
                    "The device takes no more passwords: there have been too many failed "
                    "attempts (10).",
                    "locked after 10 wrong passwords"},
        FailureCase{"DevelopmentModeOff",
                    "Info: Sending request: DEVICE_INFO\nError: Device is not in the Development "
                    "Mode. Switch to Development Mode from Security settings on the device.\n",
                    2, FailureKind::DevelopmentModeOff, "Development Mode is off on the device.",
                    "Development Mode is off"},
        FailureCase{"Refused",
                    "Error: Cannot connect: Connection to https://169.254.0.9:443 refused. Please "
                    "check IP address settings for the target. You may have to reboot the "
                    "target.\n",
                    1, FailureKind::CannotConnect,
                    "Nothing at 169.254.0.9 accepted the connection.",
                    "cannot connect: 169.254.0.9 refused the connection"},
        FailureCase{"Unreachable",
                    "Error: Cannot connect: Network is unreachable. Please check IP address "
                    "settings for the target. Try to ping the target.\n",
                    1, FailureKind::CannotConnect,
                    "This computer has no network route to the device.",
                    "cannot connect: network unreachable"},
        FailureCase{"TimedOut",
                    "Error: Cannot connect: Connect to /169.254.7.7:443 timed out. Please check "
                    "IP address settings for the target.\n",
                    1, FailureKind::CannotConnect,
                    "The device at 169.254.7.7 did not take the connection in time.",
                    "cannot connect: 169.254.7.7 timed out"},
        FailureCase{"ClosedByTheDevice", ClosedConnection, 1, FailureKind::ConnectionClosed,
                    "The device closed the connection without answering.",
                    "the device closed the connection"},
        FailureCase{"LoginSystemError",
                    "[Fatal Error] :1:1: Premature end of file.\n"
                    "Error: Authentication failed due to system error\n",
                    1, FailureKind::LoginSystemError, "The device could not check the password",
                    "the device could not check the password"},
        FailureCase{"BarFileGone",
                    "Info: Sending request: INSTALL\nError: File does not exist or not a file "
                    "or cannot read: /home/u/app.bar \n",
                    1, FailureKind::BarFileMissing,
                    "The BAR file /home/u/app.bar no longer exists or cannot be read.",
                    "the BAR file is gone or cannot be read"},
        FailureCase{"NoDebugToken", RefusedInstall + "result::failure 881 no debug token found\n",
                    2, FailureKind::DeviceRefused,
                    "The device refused the application: it has no debug token (881 no debug "
                    "token found).",
                    "no debug token on the device (881)"},
        FailureCase{"OsTooOld",
                    RefusedInstall + "result::failure 533 Application-Requires-System: version "
                                     "forbidden, want (10, 3, 0, 0) have (10, 2, 1, 3247)\n",
                    2, FailureKind::DeviceRefused,
                    "The application needs a newer OS: it wants 10.3.0.0, the device has "
                    "10.2.1.3247 (533).",
                    "needs OS 10.3.0.0, the device has 10.2.1.3247 (533)"},
        FailureCase{"NoSuchPackage",
                    "Info: Sending request: UNINSTALL\nresult::failure 500 cannot determine "
                    "package name\n",
                    2, FailureKind::DeviceRefused,
                    "The device has no application with this package name and id",
                    "no such application on the device (500)"},
        FailureCase{"FileExists",
                    RefusedInstall + "result::failure 500 OSError: [Errno 17] File exists\n", 2,
                    FailureKind::DeviceRefused,
                    "The device could not install the application because files of it are "
                    "already there",
                    "files of the application are already on the device (500)"},
        FailureCase{"OtherDeviceCode", "result::failure 412 quota exceeded\n", 2,
                    FailureKind::DeviceRefused,
                    "The device refused the command: 412 quota exceeded.",
                    "refused: 412 quota exceeded"},
        FailureCase{"UnknownErrorLeadsWithTheToolsLines",
                    "Dec 10, 2026 3:39:25 PM org.x Y\nINFO: noise\nError: Something new\n", 1,
                    FailureKind::Unknown, "Error: Something new", "Error: Something new"},
        FailureCase{"NonZeroExitWithoutAnErrorLine", "Info: Sending request: LIST\n", 1,
                    FailureKind::Unknown,
                    "The deploy tool failed (exit code 1) without saying why.",
                    "failed with exit code 1"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

} // namespace
