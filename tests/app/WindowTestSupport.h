#pragma once

#include "Error.h"
#include "FakeConsoleRunner.h"
#include "FixedLocalAddresses.h"
#include "InMemoryRegistryView.h"
#include "TfrmBB10.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <functional>
#include <memory>

namespace kestrane::testing {

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

    Services services() const { return Services{addresses, registry, runner}; }
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
