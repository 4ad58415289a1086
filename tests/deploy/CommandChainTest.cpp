// The whole chain as Kestrane runs a device command: the built command text, /bin/sh -c, the Java
// launcher and the simulator. Whatever a user types or a file is called must arrive as the one
// argument it is, and nothing in it may run.
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

    ToolRun runInShell(const QString& command) { return sim_.runShell(command, work_.path()); }

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

TEST_F(CommandChain, PasswordArrivesIntactAndRunsNothing) {
    const QString password = "a'b $(touch x);\"c d";
    const ToolRun run =
        runInShell(DeployCommandHead(Simulator::appDir(), DeployAction::ListDeviceInfo,
                                     " 169.254.0.1 ", "  " + password + "\t"));
    EXPECT_EQ(receivedArgs(),
              (QStringList{"-listDeviceInfo", "-device", kFullTouch, "-password", password}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "Error: Authentication failed. There have been 1 of 10 failed attempts\n");
    expectNothingRan();
}

TEST_F(CommandChain, PlainCommandConnectsToTheSimulator) {
    const ToolRun run = runInShell(
        DeployCommandHead(Simulator::appDir(), DeployAction::ListDeviceInfo, kFullTouch, "z30"));
    const DeviceInfo info = ReadDeviceInfo(run.merged());
    EXPECT_TRUE(info.connected) << run.merged().toStdString();
    EXPECT_EQ(info.deviceName, "BlackBerry Z30");
}

TEST_F(CommandChain, BarPathAndPackageNamesArriveIntact) {
    const QString barPath = files_.filePath("my `touch y` $(touch x); 'app' \"1\" *.bar");
    WriteBar(barPath, BarManifest("com.example.Quoted", "Quoted", "1.0.0.0"));
    const QString head =
        DeployCommandHead(Simulator::appDir(), DeployAction::InstallApp, kFullTouch, "z30");
    const ToolRun installed = runInShell(head + InstallArguments(barPath));
    EXPECT_EQ(receivedArgs(),
              (QStringList{"-installApp", "-device", kFullTouch, "-password", "z30", barPath}));
    EXPECT_EQ(SplitLines(installed.out).last(), "result::success")
        << installed.merged().toStdString();

    const QString name = "com.example.Quoted; touch x";
    const QString id = "$(touch x) `touch y` *";
    runInShell(
        DeployCommandHead(Simulator::appDir(), DeployAction::UninstallApp, kFullTouch, "z30") +
        PackageArguments(name, id));
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
    const ToolRun run =
        runInShell(DeployCommandHead(appDir, DeployAction::ListDeviceInfo, kKeyboard, "q10"));
    EXPECT_TRUE(ReadDeviceInfo(run.merged()).connected) << run.merged().toStdString();
    expectNothingRan();
}

} // namespace
