#include "DeployCommand.h"
#include "ArgumentFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kestrane;

namespace {

const DeployTool kTool{QStringLiteral("/opt/kestrane"), QStringLiteral("/home/ann/.tool")};
const QStringList kJar{"-jar", "/opt/kestrane/lib/BarDeploy.jar"};

struct CommandCase {
    DeployAction action;
    QStringList arguments; // the action's own
    QStringList expected;  // the tool's arguments after the jar
};

TEST(DeployCommand, EveryValueIsAToolArgumentOfItsOwn) {
    const QStringList common{"-device", "169.254.0.1", "-password", "z30"};
    const QStringList package{"-package-name", "com.example.notes", "-package-id", "abcd1234efgh"};
    const CommandCase cases[] = {
        {DeployAction::ListDeviceInfo, {}, QStringList{"-listDeviceInfo"} + common},
        {DeployAction::ListInstalledApps, {}, QStringList{"-listInstalledApps"} + common},
        {DeployAction::InstallApp, InstallArguments("/home/ann/bars/game 1.0.bar"),
         QStringList{"-installApp"} + common + QStringList{"/home/ann/bars/game 1.0.bar"}},
        {DeployAction::IsAppRunning, PackageArguments("com.example.notes", "abcd1234efgh"),
         QStringList{"-isAppRunning"} + common + package},
        {DeployAction::LaunchApp, PackageArguments("com.example.notes", "abcd1234efgh"),
         QStringList{"-launchApp"} + common + package},
        {DeployAction::TerminateApp, PackageArguments("com.example.notes", "abcd1234efgh"),
         QStringList{"-terminateApp"} + common + package},
        {DeployAction::UninstallApp, PackageArguments("com.example.notes", "abcd1234efgh"),
         QStringList{"-uninstallApp"} + common + package},
        {DeployAction::InstallAndLaunchApp, InstallArguments("/home/ann/bars/game 1.0.bar"),
         QStringList{"-installApp", "-launchApp"} + common +
             QStringList{"/home/ann/bars/game 1.0.bar"}},
        // The token's file is the value of its option, ahead of the device.
        {DeployAction::InstallDebugToken, DebugTokenArguments("/home/ann/debugtoken.bar"),
         QStringList{"-installDebugToken", "/home/ann/debugtoken.bar"} + common},
        // A transfer's two paths come straight after its option, the package after the device.
        {DeployAction::GetFile,
         SandboxFileArguments("logs/log", "/home/ann/log.txt", "com.example.notes", "abcd1234efgh"),
         QStringList{"-getFile", "logs/log", "/home/ann/log.txt"} + common + package},
        {DeployAction::GetFile,
         SandboxFileArguments("data/a b", "-", "com.example.notes", "abcd1234efgh"),
         QStringList{"-getFile", "data/a b", "-"} + common + package},
        {DeployAction::PutFile,
         SandboxFileArguments("/home/ann/db.sqlite", "db/db.sqlite", "com.example.notes",
                              "abcd1234efgh"),
         QStringList{"-putFile", "/home/ann/db.sqlite", "db/db.sqlite"} + common + package},
        {DeployAction::PrintExitCode, PackageArguments("com.example.notes", "abcd1234efgh"),
         QStringList{"-printExitCode"} + common + package},
    };
    for (const CommandCase& c : cases) {
        const DeployInvocation invocation =
            DeployCommand(kTool, c.action, "169.254.0.1", "z30", c.arguments);
        EXPECT_EQ(invocation.toolArguments, kJar + c.expected)
            << c.expected.join(' ').toStdString();
        // What the tool fetches passes through Java's default character set: ISO-8859-1 keeps
        // every byte.
        const bool fetches =
            c.action == DeployAction::GetFile || c.action == DeployAction::PrintExitCode;
        const QStringList javaOptions =
            QStringList{"-Djava.security.properties=/opt/kestrane/lib/deploy-tls.security",
                        "-Duser.home=/home/ann/.tool"} +
            (fetches ? QStringList{"-Dfile.encoding=ISO-8859-1"} : QStringList{}) +
            QStringList{"-Xmx512M"};
        EXPECT_EQ(invocation.javaOptions, javaOptions);
        EXPECT_EQ(invocation.device, "169.254.0.1");
    }
    EXPECT_EQ(DeployActionOption(DeployAction::InstallAndLaunchApp), "-installApp -launchApp");
}

TEST(DeployCommand, NormalisesAddressAndPasswordFields) {
    const DeployInvocation trimmed =
        DeployCommand(kTool, DeployAction::ListDeviceInfo, " \t169.254. 0.1 \r\n", "\t a b \n");
    EXPECT_EQ(trimmed.toolArguments.mid(2),
              (QStringList{"-listDeviceInfo", "-device", "169.254.0.1", "-password", "a b"}));
    // An empty password stays an argument of its own.
    EXPECT_EQ(
        DeployCommand(kTool, DeployAction::ListDeviceInfo, "169.254.0.1", " ").toolArguments.last(),
        "");
    // Without a home of its own the tool keeps its default one.
    EXPECT_EQ(DeployCommand({"/opt/kestrane", {}}, DeployAction::ListDeviceInfo, "1.2.3.4", "p")
                  .javaOptions.size(),
              2);
}

// Only the Java options and the argument file's name stand on the command line.
TEST(DeployCommand, LauncherCommandNamesTheArgumentFile) {
    const DeployInvocation invocation = DeployCommand(
        {"/opt/my apps", "/home/ann/.tool"}, DeployAction::ListInstalledApps, "169.254.1.1", "q10");
    const QString command = LauncherCommand(invocation, "/tmp/kestrane-x/deploy-arguments-1");
    EXPECT_EQ(command, "java '-Djava.security.properties=/opt/my apps/lib/deploy-tls.security' "
                       "-Duser.home=/home/ann/.tool -Xmx512M @/tmp/kestrane-x/deploy-arguments-1");
    EXPECT_FALSE(command.contains("q10"));
    EXPECT_FALSE(command.contains("169.254.1.1"));
}

TEST(DeployCommand, QuotesEveryValueThatHoldsMoreThanPlainCharacters) {
    const std::pair<QString, QString> cases[] = {
        {"z30", "z30"},
        {"p@ss:w%rd+=,-._/9", "p@ss:w%rd+=,-._/9"},
        {"", "''"},
        {"a b", "'a b'"},
        {"it's", "'it'\\''s'"},
        {"say \"hi\"", "'say \"hi\"'"},
        {"$HOME", "'$HOME'"},
        {"a;b", "'a;b'"},
        {"`id`", "'`id`'"},
        {"*.bar", "'*.bar'"},
        {"~root", "'~root'"},
        {"caf\u00e9", "'caf\u00e9'"},
    };
    for (const auto& [value, word] : cases)
        EXPECT_EQ(ShellQuote(value), word) << value.toStdString();
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
        QProcess shell;
        shell.setWorkingDirectory(folder.path());
        shell.start("/bin/sh", {"-c", "printf '%s|' " + ShellQuote(value)});
        ASSERT_TRUE(shell.waitForFinished());
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), value + "|")
            << ShellQuote(value).toStdString();
    }
    EXPECT_TRUE(QDir(folder.path()).isEmpty()) << "the shell ran part of a value";
}

TEST(JavaArgumentFile, QuotesEachArgumentOnALineOfItsOwn) {
    EXPECT_EQ(JavaArgumentFileText({"-jar", "a b", "", "q\"\\", "l1\nl2\tx"}),
              QByteArray("\"-jar\"\n\"a b\"\n\"\"\n\"q\\\"\\\\\"\n\"l1\\nl2\\tx\"\n"));
}

TEST(JavaArgumentFile, OnlyItsOwnerMayReadItAndItGoesWithTheObject) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QString path;
    {
        ArgumentFile file(folder.path(), "\"secret\"\n");
        path = file.path();
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith(ArgumentFilePrefix));
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
        QFile read(path);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly));
        EXPECT_EQ(read.readAll(), "\"secret\"\n");
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(DeployCommand, JavaRuntimeMissingMessage) {
    EXPECT_EQ(JavaRuntimeMissingMessage(""),
              "You have to install Java Runtime Environment before using this Utility");
    EXPECT_EQ(JavaRuntimeMissingMessage("/usr/lib/jvm/java-17-openjdk-amd64/bin"), "");
}

} // namespace
