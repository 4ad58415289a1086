#pragma once

#include "Error.h"
#include "FakeConsoleRunner.h"
#include "FakeKeyring.h"
#include "FileDialog.h"
#include "FixedLocalAddresses.h"
#include "Fonts.h"
#include "InMemoryRegistryView.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TfrmBB10.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace kestrane::testing {

// The look every window suite runs in: the design's own style and fonts, and an English locale
// for the numbers and dates the window formats. Called once per suite (initTestCase).
inline void PrepareWindowSuite() {
    // Kestrane's settings go to a folder of the tests' own (the test command gives one; a suite
    // started by hand gets a temporary one), never to the user's.
    static QTemporaryDir configHome;
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setStyle(QStringLiteral("Fusion"));
    RegisterWindowFonts();
}

// What each window test starts from and must leave as it found it: no message box or file
// dialog answer queued, no hourglass cursor, the current folder restored. begin() in init(),
// QVERIFY2 on end() in cleanup(); end() puts everything back whatever it reports, so that one
// test's leftovers never fail the next one.
class WindowTestScope {
public:
    void begin() {
        // No remembered address, launch option or chosen tool from an earlier test.
        KestraneSettings().clear();
        MessageBox::reset();
        FileDialog::reset();
        startFolder_ = QDir::currentPath();
        guardAnswers_ = 0;
    }

    // Queues an answer for a box the test may not expect, so that a box shown by mistake is
    // answered (and counted by the test's own checks) instead of waiting for a person. Left
    // unused, it is no leftover.
    void answerAnyBox() {
        MessageBox::setNextAnswer(MessageBox::Ok);
        ++guardAnswers_;
    }

    // What the test left behind, one item per line; empty when nothing.
    QString end() {
        QStringList left;
        if (MessageBox::pendingAnswers() > guardAnswers_)
            left << QStringLiteral("%1 message box answers unused")
                        .arg(MessageBox::pendingAnswers() - guardAnswers_);
        if (FileDialog::pendingAnswers() != 0)
            left << QStringLiteral("%1 file dialog answers unused")
                        .arg(FileDialog::pendingAnswers());
        if (QApplication::overrideCursor() != nullptr)
            left << QStringLiteral("the hourglass cursor still set");
        while (QApplication::overrideCursor() != nullptr)
            QApplication::restoreOverrideCursor();
        // The window runs its commands from the Java runtime's folder and stays there: put the
        // folder back, it is no leftover.
        QDir::setCurrent(startFolder_);
        MessageBox::reset();
        FileDialog::reset();
        return left.join(QLatin1Char('\n'));
    }

    const QString& startFolder() const { return startFolder_; }

private:
    QString startFolder_;
    int guardAnswers_ = 0;
};

// Delivers every event already posted, objects deleted later included, so that a test can check
// that nothing more happens after an object went away without waiting for a fixed time.
inline void DeliverPostedEvents() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The window with a few handlers replaced: it counts the calls a test looks for and can make a
// handler fail.
class ProbeWindow : public TfrmBB10 {
public:
    using TfrmBB10::TfrmBB10;

    int refreshAppCalls = 0;
    int connCalls = 0;
    QList<QStringList> drops;
    // When set, Connect, the drop handler or the address suggestion runs it (to throw); Connect
    // without it is the window's own.
    std::function<void()> connFailure;
    std::function<void()> dropFailure;
    std::function<void()> refreshFailure;

    void btnRefreshAppClick() override { ++refreshAppCalls; }
    void btnConnClick() override {
        ++connCalls;
        if (connFailure) {
            connFailure();
            return;
        }
        TfrmBB10::btnConnClick();
    }
    void WMDropFiles(const QStringList& paths) override {
        drops.append(paths);
        if (dropFailure) {
            dropFailure();
        }
    }
    void btnRefreshClick() override {
        if (refreshFailure) {
            refreshFailure();
        }
        TfrmBB10::btnRefreshClick();
    }
};

struct WindowWorld {
    std::shared_ptr<doubles::FixedLocalAddresses> addresses =
        std::make_shared<doubles::FixedLocalAddresses>();
    std::shared_ptr<doubles::InMemoryRegistryView> registry =
        std::make_shared<doubles::InMemoryRegistryView>();
    std::shared_ptr<doubles::FakeConsoleRunner> runner =
        std::make_shared<doubles::FakeConsoleRunner>();
    // Kept for the test alone: no count of failed passwords reaches the next test.
    std::shared_ptr<LoginAttempts> loginAttempts = std::make_shared<LoginAttempts>(QString());

    // Find Devices probes only what a test gives here: never the machine's own networks.
    std::function<QList<quint32>()> discoveryCandidates = [] { return QList<quint32>(); };
    // Never the machine's own interfaces or the desktop's keyring.
    std::shared_ptr<doubles::FakeInterfaceWatcher> interfaces =
        std::make_shared<doubles::FakeInterfaceWatcher>();
    std::shared_ptr<doubles::InMemoryKeyring> keyring =
        std::make_shared<doubles::InMemoryKeyring>();

    Services services() const {
        return Services{addresses,           registry,   runner, nullptr, loginAttempts,
                        discoveryCandidates, interfaces, keyring};
    }
};

// A window of its own for each test (not yet shown).
inline std::unique_ptr<ProbeWindow> MakeWindow(const WindowWorld& world = WindowWorld()) {
    return std::make_unique<ProbeWindow>(world.services());
}

// Puts empty stand-ins for what the window checks before a device command: the deploy tool and
// its TLS settings in <appDir>/lib, an executable launcher <javaBinDir>/java. The scripted runner
// never runs them. False when a file could not be made.
inline bool PlaceFakeDeployTool(const QString& appDir, const QString& javaBinDir) {
    if (!QDir(appDir).mkpath(QStringLiteral("lib")) || !QDir().mkpath(javaBinDir))
        return false;
    for (const QString& path : {appDir + QStringLiteral("/lib/BarDeploy.jar"),
                                appDir + QStringLiteral("/lib/deploy-tls.security"),
                                javaBinDir + QStringLiteral("/java")}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return QFile::setPermissions(javaBinDir + QStringLiteral("/java"),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// What a successful connection unlocks.
inline void UnlockAsConnected(TfrmBB10& window) {
    window.SpeedButton2->setEnabled(true);
    window.btnInstallApps->setEnabled(true);
    window.btnManageApps->setEnabled(true);
}

// What the phone of the window tests answers to Connect.
inline const QString TestPhoneInformation = QStringLiteral("Info: Sending request: DEVICE_INFO\n"
                                                           "modelfullname::BlackBerry Z30\n"
                                                           "modelname::Z30\n"
                                                           "devicepin::0x2a2b3c4d\n");

// Connects the window as a user does (address and password typed, Connect pressed) to a phone
// that the scripted runner answers for, then forgets that run, so that the test's own commands
// come first in runner.runs(). The window's AppDir and JavaBinDir must hold the fake deploy tool.
// False when Connect did not end.
inline bool ConnectAsUser(TfrmBB10& window, doubles::FakeConsoleRunner& runner,
                          const QString& address = QStringLiteral("169.254.0.1"),
                          const QString& password = QStringLiteral("z30")) {
    window.edtIP->setAddressText(address);
    window.edtPwd->setText(password);
    runner.addAnswer(TestPhoneInformation);
    window.btnConnClick();
    const bool ended = runner.waitForAll();
    runner.forgetRuns();
    return ended && window.connectedTarget().address == address;
}

} // namespace kestrane::testing
