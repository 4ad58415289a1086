// The connection fields: the address suggestion, the password reveal and the Development Mode
// hint.

#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "FindDevicesDialog.h"
#include "MessageBox.h"
#include "PasswordMemory.h"
#include "PhoneNoticer.h"
#include "Settings.h"
#include "TfrmBB10.h"
#include "UsbNetworking.h"

#include <QDir>
#include <QPointer>

namespace kestrane {

void TfrmBB10::SetupConnectionHelpers() {
    phoneNoticer_ = new PhoneNoticer(
        services_.interfaceWatcher, edtIP, lbUsbDevice, lbUsbGone,
        [this] { return connectedTarget_.address; }, this);
    passwordMemory_ = new PasswordMemory(services_.keyring, edtIP, edtPwd, cbRememberPassword,
                                         ForgetThisDevice1, this);
    // Every command's login: a password the device refused is kept no more.
    deviceCommands_->setLoginWatch([memory = QPointer<PasswordMemory>(passwordMemory_)](
                                       const QString& device, const LoginOutcome& outcome) {
        if (memory && (outcome.kind == LoginOutcome::Kind::Refused ||
                       outcome.kind == LoginOutcome::Kind::Locked))
            memory->refused(device);
    });
    connect(phoneNoticer_, &PhoneNoticer::deviceFound, passwordMemory_, &PasswordMemory::deviceAt);
    connect(PopupMenu2, &QMenu::aboutToShow, passwordMemory_, &PasswordMemory::updateForgetAction);
    connect(ForgetThisDevice1, &QAction::triggered, passwordMemory_,
            &PasswordMemory::forgetThisDevice);
}

// Without a link-local address on the machine there is nothing to suggest: the address the user
// typed stays rather than being wiped.
void TfrmBB10::btnRefreshClick() {
    const QString suggestion =
        SuggestDeviceAddress(services_.localAddresses->GetLocalIPAddresses());
    usbSuggestionShown_ = !suggestion.isEmpty();
    if (usbSuggestionShown_) {
        edtIP->setAddressText(suggestion);
    }
}

void TfrmBB10::btnFindClick() {
    QString portError;
    const DiscoverySettings settings = DiscoverySettings::FromEnvironment(&portError);
    auto* dialog = new FindDevicesDialog(
        services_.discoveryCandidates(), settings, {},
        UsbNetworkingAdvice(FindPhoneUsbInterfaces(QStringLiteral("/sys")), InterfacesWithIpv4()),
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // While the bundled simulator stands in for the deploy tool, its devices are listed too: it
    // prints their discovery answers ("-discover"), and the scan waits for them so that their
    // addresses are not probed.
    const DeployToolFound tool = CurrentDeployTool();
    if (tool.simulator && !JavaBinDir.isEmpty()) {
        dialog->waitForSimulated();
        ConsoleJob* job = services_.consoleRunner->RunConsoleCommand(
            QStringLiteral("java -jar %1 -discover")
                .arg(ShellQuote(QDir(tool.folder).filePath(QStringLiteral("BarDeploy.jar")))),
            JavaBinDir, dialog);
        connect(job, &ConsoleJob::finished, dialog, [dialog, job](const QString& output) {
            dialog->addSimulated(ReadSimulatorDiscovery(output.toUtf8()));
            job->deleteLater();
        });
    }
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (!dialog->chosenAddress().isEmpty())
            edtIP->setAddressText(dialog->chosenAddress());
    });
    dialog->open();
}

// A phone on the USB network is suggested as ever; otherwise (Wi-Fi) the address of the last
// device Connect reached saves typing it again.
void TfrmBB10::ShowStartAddress() {
    usbSuggestionShown_ = false;
    btnRefreshClick();
    if (usbSuggestionShown_)
        return;
    const QString remembered = KestraneSettings().value(LastDeviceAddressKey).toString();
    if (!remembered.isEmpty())
        edtIP->setAddressText(remembered);
}

void TfrmBB10::SpeedButton1MouseDown(Qt::MouseButton) {
    edtPwd->setEchoMode(QLineEdit::Normal);
}

void TfrmBB10::SpeedButton1MouseUp(Qt::MouseButton) {
    edtPwd->setEchoMode(QLineEdit::Password);
}

void TfrmBB10::lbDevModeOnClick() {
    MessageBox::plain(this, DevelopmentModeHelp);
}

} // namespace kestrane
