#include "DeployCommand.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

const QString kAppDir = QStringLiteral("/opt/kestrane");
const QString kHead = QStringLiteral("java -Djava.security.properties=/opt/kestrane/lib/"
                                     "deploy-tls.security -Xmx512M -jar "
                                     "\"/opt/kestrane/lib/BarDeploy.jar\" ");

struct CommandCase {
    DeployAction action;
    QString arguments; // appended to the head, as the handlers do
    QString expected;  // after the common java part
};

TEST(DeployCommand, PlainValuesReadAsTheToolExpectsThem) {
    const QString common = QStringLiteral(" -device 169.254.0.1 -password z30 ");
    const CommandCase cases[] = {
        {DeployAction::ListDeviceInfo, {}, "-listDeviceInfo" + common},
        {DeployAction::ListInstalledApps, {}, "-listInstalledApps" + common},
        {DeployAction::InstallApp, InstallArguments("/home/ann/bars/game-1.0.bar"),
         "-installApp" + common + "\"/home/ann/bars/game-1.0.bar\""},
        {DeployAction::IsAppRunning, PackageArguments("com.example.notes", "abcd1234efgh"),
         "-isAppRunning" + common + " -package-name com.example.notes -package-id abcd1234efgh"},
        {DeployAction::LaunchApp, PackageArguments("com.example.notes", "abcd1234efgh"),
         "-launchApp" + common + " -package-name com.example.notes -package-id abcd1234efgh"},
        {DeployAction::TerminateApp, PackageArguments("com.example.notes", "abcd1234efgh"),
         "-terminateApp" + common + " -package-name com.example.notes -package-id abcd1234efgh"},
        {DeployAction::UninstallApp, PackageArguments("com.example.notes", "abcd1234efgh"),
         "-uninstallApp" + common + " -package-name com.example.notes -package-id abcd1234efgh"},
    };
    for (const CommandCase& c : cases) {
        const QString command =
            DeployCommandHead(kAppDir, c.action, "169.254.0.1", "z30") + c.arguments;
        EXPECT_EQ(command, kHead + c.expected) << c.expected.toStdString();
    }
}

TEST(DeployCommand, NormalisesAddressAndPasswordFields) {
    EXPECT_EQ(DeployCommandHead(kAppDir, DeployAction::ListDeviceInfo, " \t169.254. 0.1 \r\n",
                                "\t z30 \n"),
              kHead + "-listDeviceInfo -device 169.254.0.1 -password z30 ");
    // Blanks inside the password are kept; the password then needs quoting.
    EXPECT_EQ(DeployCommandHead(kAppDir, DeployAction::ListDeviceInfo, "169.254.0.1", "  a b  "),
              kHead + "-listDeviceInfo -device 169.254.0.1 -password 'a b' ");
    // An empty password stays an argument of its own instead of vanishing from the command.
    EXPECT_EQ(DeployCommandHead(kAppDir, DeployAction::InstallApp, "169.254.0.1", " ") +
                  InstallArguments("/x.bar"),
              kHead + "-installApp -device 169.254.0.1 -password '' \"/x.bar\"");
}

TEST(DeployCommand, QuotesEveryValueThatHoldsMoreThanPlainCharacters) {
    struct QuoteCase {
        QString value;
        QString word;
        QString pathWord;
    };
    const QuoteCase cases[] = {
        {"z30", "z30", "\"z30\""},
        {"p@ss:w%rd+=,-._/9", "p@ss:w%rd+=,-._/9", "\"p@ss:w%rd+=,-._/9\""},
        {"", "''", "\"\""},
        {"a b", "'a b'", "'a b'"},
        {"it's", "'it'\\''s'", "'it'\\''s'"},
        {"say \"hi\"", "'say \"hi\"'", "'say \"hi\"'"},
        {"$HOME", "'$HOME'", "'$HOME'"},
        {"a;b", "'a;b'", "'a;b'"},
        {"`id`", "'`id`'", "'`id`'"},
        {"*.bar", "'*.bar'", "'*.bar'"},
        {"~root", "'~root'", "'~root'"},
        {"caf\u00e9", "'caf\u00e9'", "'caf\u00e9'"},
    };
    for (const QuoteCase& c : cases) {
        EXPECT_EQ(ShellQuote(c.value), c.word) << c.value.toStdString();
        EXPECT_EQ(ShellQuotePath(c.value), c.pathWord) << c.value.toStdString();
    }
}

TEST(DeployCommand, ProgramFolderWithBlanksIsQuotedWherePathsAreNamed) {
    EXPECT_EQ(
        DeployCommandHead("/opt/my apps", DeployAction::ListInstalledApps, "169.254.1.1", "q10"),
        "java -Djava.security.properties='/opt/my apps/lib/deploy-tls.security' -Xmx512M "
        "-jar '/opt/my apps/lib/BarDeploy.jar' -listInstalledApps -device 169.254.1.1 "
        "-password q10 ");
}

// The quoting must hold against the real shell: every value comes back as exactly one word,
// byte for byte, and nothing in it runs.
TEST(DeployCommand, ShellReadsEveryQuotedValueBackUnchanged) {
    const QString values[] = {
        "a'b $(touch x);\"c d",
        "`touch x`",
        "${HOME} $HOME \\$ \\\\",
        "*",
        "?[a]{b,c}",
        "tab\there",
        "line\nbreak",
        "'''",
        "a&b|c<d>e(f)g#h!i",
        "~",
        "caf\u00e9 \u00fcber",
        "",
        "-n",
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const QString& value : values) {
        for (const QString& word : {ShellQuote(value), ShellQuotePath(value)}) {
            QProcess shell;
            shell.setWorkingDirectory(folder.path());
            shell.start("/bin/sh", {"-c", "printf '%s|' " + word});
            ASSERT_TRUE(shell.waitForFinished());
            EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), value + "|")
                << word.toStdString();
        }
    }
    EXPECT_TRUE(QDir(folder.path()).isEmpty()) << "the shell ran part of a value";
}

TEST(DeployCommand, ActionsThatCheckForAJavaRuntime) {
    const std::pair<DeployAction, bool> cases[] = {
        {DeployAction::ListDeviceInfo, true}, {DeployAction::ListInstalledApps, true},
        {DeployAction::InstallApp, true},     {DeployAction::IsAppRunning, false},
        {DeployAction::LaunchApp, false},     {DeployAction::TerminateApp, false},
        {DeployAction::UninstallApp, false},
    };
    for (const auto& [action, checks] : cases)
        EXPECT_EQ(ActionChecksJavaRuntime(action), checks)
            << DeployActionOption(action).toStdString();
    EXPECT_EQ(JavaRuntimeMissingMessage(""),
              "You have to install Java Runtime Environment before using this Utility");
    EXPECT_EQ(JavaRuntimeMissingMessage("/usr/lib/jvm/java-17-openjdk-amd64/bin"), "");
}

} // namespace
