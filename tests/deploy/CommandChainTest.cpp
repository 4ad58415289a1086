// The whole chain as Kestrane runs a device command: the built command text and its argument
// file, /bin/sh -c, the Java launcher and the simulator. Whatever a user types or a file is
// called must arrive as the one argument it is, and nothing in it may run.
#include "ArgumentFile.h"
#include "BarFixture.h"
#include "DeployCommand.h"
#include "DeviceInfo.h"
#include "Simulator.h"
#include "TextUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrane;
using namespace kestrane::test;

namespace {

class CommandChain : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work_.isValid());
        ASSERT_TRUE(files_.isValid());
        argsLog_ = files_.filePath("args.log");
        sim_.setEnv("KESTRANE_DEVICESIM_ARGS_LOG", argsLog_);
    }

    // Runs the invocation as the window does: its tool arguments in an argument file.
    ToolRun run(const DeployInvocation& invocation) {
        const ArgumentFile arguments(files_.path(), JavaArgumentFileText(invocation.toolArguments));
        return sim_.runShell(LauncherCommand(invocation, arguments.path()), work_.path());
    }
    DeployInvocation Command(DeployAction action, const QString& address, const QString& password,
                             const QStringList& arguments = {},
                             const QString& appDir = Simulator::appDir()) const {
        return DeployCommand({appDir, sim_.userHome()}, action, address, password, arguments);
    }

    // The arguments the simulator received in its last run.
    QStringList receivedArgs() const {
        QFile log(argsLog_);
        if (!log.open(QIODevice::ReadOnly))
            return {"<no run>"};
        QStringList args;
        for (const QByteArray& arg : log.readAll().split('\0'))
            args.append(QString::fromUtf8(arg));
        args.removeLast(); // every argument ends with a NUL
        return args;
    }

    void expectNothingRan() const {
        EXPECT_TRUE(QDir(work_.path()).isEmpty())
            << QDir(work_.path())
                   .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                   .join(' ')
                   .toStdString();
    }

    Simulator sim_;
    QTemporaryDir work_;  // the command's working folder, where an injected `touch x` would land
    QTemporaryDir files_; // BAR files and the argument log
    QString argsLog_;
};

// The launcher reads every value back from the argument file as it was typed.
TEST_F(CommandChain, PasswordsArriveIntactAndRunNothing) {
    const QString passwords[] = {
        "z30",
        "a b",
        "it's",
        "say \"hi\"",
        "back\\slash\\",
        "$(touch x)",
        "#not a comment",
        "a;b",
        "caf\u00e9 \u00fcber \u2603",
        "",
        "@other-file",
        "a'b $(touch x);\"c d",
    };
    for (const QString& password : passwords) {
        const ToolRun result =
            run(Command(DeployAction::ListDeviceInfo, " 169.254.0.1 ", password));
        EXPECT_EQ(receivedArgs(),
                  (QStringList{"-listDeviceInfo", "-device", kFullTouch, "-password", password}))
            << password.toStdString();
        // Wrong passwords are refused (the tenth locks the phone); the right one connects.
        EXPECT_EQ(result.exitCode == 0, password == "z30") << result.merged().toStdString();
    }
    expectNothingRan();
}

TEST_F(CommandChain, PlainCommandConnectsToTheSimulator) {
    const ToolRun result = run(Command(DeployAction::ListDeviceInfo, kFullTouch, "z30"));
    const DeviceInfo info = ReadDeviceInfo(result.merged());
    EXPECT_TRUE(info.connected) << result.merged().toStdString();
    EXPECT_EQ(info.deviceName, "BlackBerry Z30");
}

TEST_F(CommandChain, BarPathAndPackageNamesArriveIntact) {
    const QString barPath = files_.filePath("my `touch y` $(touch x); 'app' \"1\" *.bar");
    WriteBar(barPath, BarManifest("com.example.Quoted", "Quoted", "1.0.0.0"));
    const ToolRun installed =
        run(Command(DeployAction::InstallApp, kFullTouch, "z30", InstallArguments(barPath)));
    EXPECT_EQ(receivedArgs(),
              (QStringList{"-installApp", "-device", kFullTouch, "-password", "z30", barPath}));
    EXPECT_EQ(SplitLines(installed.out).last(), "result::success")
        << installed.merged().toStdString();

    const QString name = "com.example.Quoted; touch x";
    const QString id = "$(touch x) `touch y` *";
    run(Command(DeployAction::UninstallApp, kFullTouch, "z30", PackageArguments(name, id)));
    EXPECT_EQ(receivedArgs(), (QStringList{"-uninstallApp", "-device", kFullTouch, "-password",
                                           "z30", "-package-name", name, "-package-id", id}));
    expectNothingRan();
}

// A program folder whose name needs quoting: the jar and the security file are still found.
TEST_F(CommandChain, ProgramFolderWithBlanksAndQuotes) {
    const QString appDir = files_.filePath("Kestrane 'test' $(touch x)");
    ASSERT_TRUE(QDir().mkpath(appDir + "/lib"));
    for (const char* file : {"/lib/BarDeploy.jar", "/lib/deploy-tls.security"})
        ASSERT_TRUE(QFile::copy(Simulator::appDir() + file, appDir + file)) << file;
    const ToolRun result = run(Command(DeployAction::ListDeviceInfo, kKeyboard, "q10", {}, appDir));
    EXPECT_TRUE(ReadDeviceInfo(result.merged()).connected) << result.merged().toStdString();
    expectNothingRan();
}

} // namespace
