// The main screen: connecting to the device and showing its identity.

#include "CommandResult.h"
#include "DeployCommand.h"
#include "DeployToolHome.h"
#include "DeviceCommands.h"
#include "DeviceInfo.h"
#include "MessageBox.h"
#include "PasswordMemory.h"
#include "PhoneNoticer.h"
#include "RememberedDevices.h"
#include "Settings.h"
#include "TextUtils.h"
#include "TfrmBB10.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>

namespace kestrane {

bool TfrmBB10::ReadyForDeviceCommand(const QString& address) {
    // The tool may have been added or removed since the window last looked: the title and the
    // panel say which one this command runs.
    ShowDeployToolInUse();
    const CommandCheck check = CheckBeforeDeviceCommand(DeviceContextInUse(), address);
    if (check.ready())
        return MaySpendLastAttempt(RemoveSpaces(address));
    // No runtime at all is told in a plain box, as the program always has.
    if (check.kind == FailureKind::JavaMissing && JavaBinDir.isEmpty())
        MessageBox::plain(this, check.message);
    else
        ShowCommandError(check.message);
    return false;
}

// The device refuses every password after its last attempt until it is typed on the device:
// that attempt goes out only when the user says so, and then for this command alone.
bool TfrmBB10::MaySpendLastAttempt(const QString& device) {
    LoginAttempts& attempts = *services_.loginAttempts;
    const std::optional<LoginAttempts::Count> count = attempts.count(device);
    if (!count || !count->lastAttempt())
        return true;
    MessageBox::Box question(MessageBox::Kind::Warning, ApplicationTitle(),
                             LastAttemptQuestion(device, *count), MessageBox::Yes | MessageBox::No);
    question.defaultButton = MessageBox::No;
    if (MessageBox::show(this, question) != MessageBox::Yes)
        return false;
    attempts.allowLastAttempt(device);
    return true;
}

void TfrmBB10::ShowCommandError(const QString& text, const QString& details) {
    MessageBox::show(this,
                     {MessageBox::Kind::Error, ApplicationTitle(), text, MessageBox::Ok, details});
}

void TfrmBB10::ShowCommandFailure(const CommandVerdict& verdict) {
    ShowCommandError(WithDeployToolNote(verdict.errorText), verdict.details);
}

CommandVerdict TfrmBB10::JudgeCommand(const CommandResult& result) const {
    return DeviceContextInUse().judge(result);
}

void TfrmBB10::btnConnClick() {
    if (!ReadyForDeviceCommand(edtIP->maskedText()))
        return;
    // The runtime's folder stays the program's current folder.
    QDir::setCurrent(JavaBinDir);
    const DeviceTarget target{RemoveSpaces(edtIP->maskedText()), edtPwd->text()};
    ListDeviceInfo(target, DeviceInfoReading::Connect,
                   [this, target](const CommandResult& result) { ShowDeviceInfo(result, target); });
}

void TfrmBB10::ListDeviceInfo(const DeviceTarget& target, DeviceInfoReading reading,
                              std::function<void(const CommandResult&)> done) {
    DeviceCommands::Settings settings;
    if (reading == DeviceInfoReading::Connect) {
        settings.heldBack = {btnConn};
        settings.hourglass = true;
    }
    settings.silenceLimit = deviceCommands_->silenceLimits().device;
    deviceCommands_->run(DeployCommand(DeployToolInUse(), DeployAction::ListDeviceInfo,
                                       target.address, target.password),
                         JavaBinDir, settings, std::move(done));
}

void TfrmBB10::ShowDeviceInfo(const CommandResult& result, const DeviceTarget& target) {
    const ConnectOutcome outcome = ReadConnectOutcome(DeviceContextInUse(), result);
    if (!outcome.verdict.succeeded) {
        ShowCommandFailure(outcome.verdict);
        return;
    }
    const DeviceInfo& info = outcome.info;
    ForgetOtherDevice(target.address + QLatin1Char('/') + info.pin);
    connectedTarget_ = target;
    QSettings settings = KestraneSettings();
    settings.setValue(LastDeviceAddressKey, target.address);
    RememberDevice(settings, {info.pin, target.address, info.deviceName});
    passwordMemory_->connected(info.pin, target.password);
    phoneNoticer_->connectionMade();
    ShowDeviceValues(info);
    btnInstallApps->setEnabled(true);
    btnManageApps->setEnabled(true);
    SpeedButton2->setEnabled(true);
    // Connect is pressed on the open panel; one the user folded away meanwhile stays folded.
    if (Panel1->width() > 0) {
        SpeedButton2Click();
    }
}

void TfrmBB10::ShowDeviceValues(const DeviceInfo& info) {
    connectedInfo_ = info;
    connectedDeviceName_ = info.deviceName;
    UpdateWindowTitle();
    ShowModelPicture(info.modelKey);
    const std::pair<QLabel*, const QString&> values[] = {
        {lbDevName, info.deviceName},
        {lbModelNum, info.modelNumber},
        {lbHWID, info.hardwareId},
        {lbIMEI, info.imei},
        {lbSerial, info.serialNumber},
        {lbPIN, info.pin},
        {lbOS, info.os},
        {lbVersion, info.version},
        {lbAirVer, info.airVersion},
        {lbFlashVer, info.flashVersion},
    };
    for (const auto& [label, value] : values) {
        label->setText(value);
    }
    ShowDebugToken(info.debugToken);
    RefreshBarNotes();
}

// The token's state in the card: red when the device will refuse development builds. What else
// the device said of it (author, expiry as printed, its reason and code) is the tooltip.
void TfrmBB10::ShowDebugToken(const DebugTokenState& token) {
    using Status = DebugTokenState::Status;
    lbDebugToken->setText(DebugTokenText(token));
    lbDebugToken->setToolTip(DebugTokenDetails(token));
    const bool usable = token.status == Status::Valid || token.status == Status::Unknown;
    QPalette palette = lbDebugToken->palette();
    palette.setColor(QPalette::WindowText, usable ? QColor(Qt::black) : QColor(0xB0, 0x00, 0x00));
    lbDebugToken->setPalette(palette);
}

void TfrmBB10::RereadDeviceInfo() {
    if (connectedTarget_.address.isEmpty() || !ReadyForDeviceCommand(connectedTarget_.address))
        return;
    const DeviceTarget target = connectedTarget_;
    ListDeviceInfo(target, DeviceInfoReading::Again, [this, target](const CommandResult& result) {
        const ConnectOutcome outcome = ReadConnectOutcome(DeviceContextInUse(), result);
        // Another Connect meanwhile has the last word.
        if (outcome.verdict.succeeded && target.address == connectedTarget_.address)
            ShowDeviceValues(outcome.info);
    });
}

// What is shown and listed of one device is never kept for another: the installed
// applications of the previous device are cleared and the list is loaded again on the next visit.
void TfrmBB10::ForgetOtherDevice(const QString& deviceKey) {
    if (deviceKey == connectedDevice_)
        return;
    connectedDevice_ = deviceKey;
    lstApps->clear();
    AppsListPending = true;
}

// The title names the device every command now goes to, on whichever screen is on top, and
// says when the simulator answers instead of a device.
void TfrmBB10::UpdateWindowTitle() {
    QString title = connectedTarget_.address.isEmpty()
                        ? WindowCaption
                        : ConnectedWindowCaption(connectedDeviceName_, connectedTarget_.address);
    if (CurrentDeployTool().simulator)
        title += SimulatorTitleNote;
    setWindowTitle(title);
}

// A model without a picture file, or with one that does not decode, shows the default picture.
void TfrmBB10::ShowModelPicture(const QString& modelKey) {
    const QString path = ModelPicturePath(AppDir, modelKey);
    const QPixmap picture = QFileInfo(path).isFile() ? QPixmap(path) : QPixmap();
    imgModel->setPicture(picture.isNull() ? QPixmap(DefaultDevicePicture) : picture);
}

} // namespace kestrane
