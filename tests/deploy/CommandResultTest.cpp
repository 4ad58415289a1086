// Judging how a deploy command ended, and the checks made before one runs.

#include "CommandResult.h"
#include "DeployCommand.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrane;
using namespace std::chrono_literals;

namespace {

// A program folder and a runtime folder that hold everything a command needs (empty stand-ins).
struct ToolTree {
    QTemporaryDir appDir;
    QTemporaryDir javaBinDir;
    ToolTree() {
        QDir(appDir.path()).mkpath("lib");
        for (const QString& path : {appDir.filePath("lib/BarDeploy.jar"),
                                    appDir.filePath("lib/deploy-tls.security"),
                                    javaBinDir.filePath("java")}) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
        }
        QFile::setPermissions(javaBinDir.filePath("java"), QFile::ReadOwner | QFile::ExeOwner);
    }
};

const QString DeviceInfoOutput = QStringLiteral("Info: Sending request: DEVICE_INFO\n"
                                                "Info: Action: List Device Info\n"
                                                "@deviceproperties\n"
                                                "devicename::Kestrane Z30\n"
                                                "modelname::Z30\n");
const QString RetryLogging =
    QStringLiteral("Dec 10, 2026 1:02:03 PM org.apache.http.impl.client.DefaultRequestDirector "
                   "tryExecute\n"
                   "INFO: I/O exception (org.apache.http.NoHttpResponseException) caught when "
                   "processing request: The target server failed to respond\n"
                   "INFO: Retrying request\n")
        .repeated(3) +
    QStringLiteral("Error: The target server failed to respond\n");

struct JudgementCase {
    const char* name;
    QString output;
    int exitCode;
    bool timedOut;
    FailureKind kind;  // None when it succeeded
    QString errorText; // the message begins so, when it failed
};

void PrintTo(const JudgementCase& c, std::ostream* os) {
    *os << c.name;
}

class JudgeDeviceCommandTest : public testing::TestWithParam<JudgementCase> {};

TEST_P(JudgeDeviceCommandTest, JudgesTheResult) {
    const JudgementCase& c = GetParam();
    ToolTree tree;
    CommandResult result;
    result.output = c.output;
    result.exitCode = c.exitCode;
    result.timedOut = c.timedOut;
    result.silenceLimit = 60s;
    const CommandVerdict verdict =
        JudgeDeviceCommand(result, tree.appDir.path(), tree.javaBinDir.path());
    EXPECT_EQ(verdict.succeeded, c.kind == FailureKind::None);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_TRUE(verdict.errorText.startsWith(c.errorText)) << verdict.errorText.toStdString();
    // On failure, what the tool wrote is kept whole for the box's details.
    EXPECT_EQ(verdict.details, verdict.succeeded ? QString() : ToolOutputText(c.output));
}

const QString WrongPassword =
    QStringLiteral("Info: Sending request: DEVICE_INFO\n"
                   "Error: Authentication failed. There have been 1 of 10 failed attempts\n");
const QString SystemError = QStringLiteral("[Fatal Error] :1:1: Premature end of file.\n"
                                           "Error: Authentication failed due to system error\n");
const QString JvmNotice = QStringLiteral("Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8\n");

INSTANTIATE_TEST_SUITE_P(
    Results, JudgeDeviceCommandTest,
    testing::Values(
        JudgementCase{"SimulatorSuccess", DeviceInfoOutput, 0, false, FailureKind::None, {}},
        JudgementCase{"JvmNoticeAndDeviceInfo", JvmNotice + DeviceInfoOutput, 0, false,
                      FailureKind::None, {}},
        JudgementCase{"WrongPasswordExit3", WrongPassword, 3, false, FailureKind::WrongPassword,
                      "The device refused the password: 1 of 10 failed attempts."},
        JudgementCase{"JvmNoticeAndWrongPassword", JvmNotice + WrongPassword, 3, false,
                      FailureKind::WrongPassword, "The device refused the password"},
        JudgementCase{"RetryLoggingExit1", RetryLogging, 1, false, FailureKind::ConnectionClosed,
                      "The device closed the connection without answering."},
        JudgementCase{"SystemErrorExit1", SystemError, 1, false, FailureKind::LoginSystemError,
                      "The device could not check the password"},
        JudgementCase{"ErrorLineDespiteExit0", SystemError, 0, false,
                      FailureKind::LoginSystemError, "The device could not check the password"},
        JudgementCase{"NonZeroExitWithoutAnErrorLine", "Info: Sending request: LIST\n", 1, false,
                      FailureKind::Unknown, "The deploy tool failed (exit code 1)"},
        JudgementCase{"DeviceRefusalExit2", "result::failure 881 no debug token found\n", 2, false,
                      FailureKind::DeviceRefused, "The device refused the application"},
        JudgementCase{"ErrorLineFirst", "Error: x\nInfo: y\n", 0, false, FailureKind::Unknown,
                      "Error: x"},
        JudgementCase{"ErrorLineAfterABareCarriageReturn", "Info: a\rError: b", 0, false,
                      FailureKind::Unknown, "Error: b"},
        JudgementCase{"IndentedErrorIsNoErrorLine", "Info: a\n Error: b\n", 0, false,
                      FailureKind::None, {}},
        JudgementCase{"ErrorNotAtLineStartIsNoError", "Info: no Error: here\n", 0, false,
                      FailureKind::None, {}},
        JudgementCase{"CrLfLinesAreShownWithLf", "Info: a\r\nError: b\r\n", 2, false,
                      FailureKind::Unknown, "Error: b"},
        JudgementCase{"SilenceLimit", "Info: Sending request\n", -1, true, FailureKind::NoAnswer,
                      "The device did not answer within 60 seconds."},
        JudgementCase{"NothingWrittenExit0IsLeftToTheAction", "", 0, false, FailureKind::None,
                      {}},
        JudgementCase{"NothingWrittenNotStarted", "", -1, false, FailureKind::Unknown,
                      "The deploy tool ended without writing anything (exit code -1)."}),
    [](const testing::TestParamInfo<JudgementCase>& info) { return info.param.name; });

// A run that wrote nothing names the missing piece when there is one.
TEST(JudgeDeviceCommand, NothingWrittenNamesWhatIsMissing) {
    ToolTree tree;
    ASSERT_TRUE(QFile::remove(tree.javaBinDir.filePath("java")));
    CommandResult result;
    result.exitCode = -1;
    const CommandVerdict verdict =
        JudgeDeviceCommand(result, tree.appDir.path(), tree.javaBinDir.path());
    EXPECT_FALSE(verdict.succeeded);
    EXPECT_EQ(verdict.kind, FailureKind::JavaMissing);
    EXPECT_EQ(verdict.errorText, "The Java runtime is missing: " +
                                     tree.javaBinDir.filePath("java") + " does not exist.");
}

TEST(MissingDeployToolMessage, NamesTheFirstMissingPiece) {
    ToolTree tree;
    const QString app = tree.appDir.path();
    const QString bin = tree.javaBinDir.path();
    EXPECT_EQ(MissingDeployToolMessage(app, bin), "");
    EXPECT_EQ(MissingDeployToolMessage(app, ""),
              "You have to install Java Runtime Environment before using this Utility");
    EXPECT_TRUE(MissingDeployToolMessage(app, "/opt/j:dk/bin")
                    .startsWith("The Java runtime in /opt/j:dk/bin cannot be used"));
    ASSERT_TRUE(QFile::remove(app + "/lib/deploy-tls.security"));
    EXPECT_EQ(MissingDeployToolMessage(app, bin),
              "The deploy tool's TLS settings file is missing: " + app +
                  "/lib/deploy-tls.security does not exist.");
    ASSERT_TRUE(QFile::remove(app + "/lib/BarDeploy.jar"));
    EXPECT_EQ(MissingDeployToolMessage(app, bin), "The deploy tool is missing: " + app +
                                                      "/lib/BarDeploy.jar does not exist.");
    // A launcher that cannot be run counts as missing.
    ASSERT_TRUE(QFile::setPermissions(bin + "/java", QFile::ReadOwner));
    EXPECT_TRUE(MissingDeployToolMessage(app, bin).startsWith("The Java runtime is missing"));
}

TEST(SilenceMessage, SaysTheLimitInSeconds) {
    const std::pair<std::chrono::milliseconds, const char*> cases[] = {
        {60s, "The device did not answer within 60 seconds."},
        {300s, "The device did not answer within 300 seconds."},
        {200ms, "The device did not answer within 0.2 seconds."},
        {1500ms, "The device did not answer within 1.5 seconds."},
        {12500ms, "The device did not answer within 13 seconds."},
    };
    for (const auto& [limit, message] : cases)
        EXPECT_EQ(SilenceMessage(limit), message) << limit.count();
}

struct AddressCase {
    const char* name;
    QString field;
    bool valid;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.name;
}

class InvalidAddressMessageTest : public testing::TestWithParam<AddressCase> {};

TEST_P(InvalidAddressMessageTest, AcceptsFourGroupsUpTo255) {
    const AddressCase& c = GetParam();
    const QString message = InvalidAddressMessage(c.field);
    EXPECT_EQ(message.isEmpty(), c.valid) << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, InvalidAddressMessageTest,
    testing::Values(AddressCase{"Plain", "169.254.0.1", true},
                    AddressCase{"MaskedFieldText", "169.254.0  .1  ", true},
                    AddressCase{"Extremes", "0.0.0.0", true},
                    AddressCase{"AllMax", "255.255.255.255", true},
                    AddressCase{"GroupOver255", "169.254.0.256", false},
                    AddressCase{"EmptyGroup", "169.254..1", false},
                    AddressCase{"EmptyField", "   .   .   .   ", false},
                    AddressCase{"ThreeGroups", "169.254.1", false},
                    AddressCase{"FiveGroups", "1.2.3.4.5", false},
                    AddressCase{"Letters", "169.254.O.1", false},
                    AddressCase{"SignedGroup", "169.254.+1.1", false}),
    [](const testing::TestParamInfo<AddressCase>& info) { return info.param.name; });

} // namespace
