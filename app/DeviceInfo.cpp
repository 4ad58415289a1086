// Connecting to the device and showing its identity.

#include "CommandResult.h"
#include "DeviceInfo.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "MessageBox.h"
#include "TfrmBB10.h"
#include "TextUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>

namespace kestrane {

bool TfrmBB10::ReadyForDeviceCommand() {
    const QString missingJava = JavaRuntimeMissingMessage(JavaBinDir);
    if (!missingJava.isEmpty()) {
        MessageBox::plain(this, missingJava);
        return false;
    }
    const QString badAddress = InvalidAddressMessage(edtIP->maskedText());
    if (!badAddress.isEmpty()) {
        ShowCommandError(badAddress);
        return false;
    }
    const QString missing = MissingDeployToolMessage(AppDir, JavaBinDir);
    if (!missing.isEmpty()) {
        ShowCommandError(missing);
        return false;
    }
    return true;
}

void TfrmBB10::ShowCommandError(const QString& text) {
    MessageBox::show(this, {MessageBox::Kind::Error, ApplicationTitle(), text, MessageBox::Ok});
}

CommandVerdict TfrmBB10::JudgeCommand(const CommandResult& result) const {
    return JudgeDeviceCommand(result, AppDir, JavaBinDir);
}

void TfrmBB10::btnConnClick() {
    if (!ReadyForDeviceCommand())
        return;
    // The runtime's folder stays the program's current folder.
    QDir::setCurrent(JavaBinDir);
    const QString address = edtIP->maskedText();
    const QString command =
        DeployCommandHead(AppDir, DeployAction::ListDeviceInfo, address, edtPwd->text());
    DeviceCommands::Settings settings;
    settings.heldBack = {btnConn};
    settings.hourglass = true;
    settings.silenceLimit = deviceCommands_->silenceLimits().device;
    deviceCommands_->run(command, JavaBinDir, settings,
                         [this, address](const CommandResult& result) {
                             ShowDeviceInfo(result, RemoveSpaces(address));
                         });
}

void TfrmBB10::ShowDeviceInfo(const CommandResult& result, const QString& address) {
    const CommandVerdict verdict = JudgeCommand(result);
    if (!verdict.succeeded) {
        ShowCommandError(verdict.errorText);
        return;
    }
    const DeviceInfo info = ReadDeviceInfo(result.output);
    if (!info.connected) {
        const QString text = ToolOutputText(result.output);
        ShowCommandError(text.isEmpty() ? NoDeviceInformationMessage : text);
        return;
    }
    ForgetOtherDevice(address + QLatin1Char('/') + info.pin);
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
    btnInstallApps->setEnabled(true);
    btnManageApps->setEnabled(true);
    SpeedButton2->setEnabled(true);
    // Connect is pressed on the open panel; one the user folded away meanwhile stays folded.
    if (Panel1->width() > 0) {
        SpeedButton2Click();
    }
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

// A model without a picture file, or with one that does not decode, shows the default picture.
void TfrmBB10::ShowModelPicture(const QString& modelKey) {
    const QString path = ModelPicturePath(AppDir, modelKey);
    const QPixmap picture = QFileInfo(path).isFile() ? QPixmap(path) : QPixmap();
    imgModel->setPicture(picture.isNull() ? QPixmap(DefaultDevicePicture) : picture);
}

} // namespace kestrane
