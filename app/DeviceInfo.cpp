// Connecting to the device and showing its identity.

#include "DeviceInfo.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "MessageBox.h"
#include "TfrmBB10.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>

namespace kestrane {

void TfrmBB10::btnConnClick() {
    const QString missingJava = JavaRuntimeMissingMessage(JavaBinDir);
    if (!missingJava.isEmpty()) {
        MessageBox::plain(this, missingJava);
        return;
    }
    // The runtime's folder stays the program's current folder.
    QDir::setCurrent(JavaBinDir);
    const QString command = DeployCommandHead(AppDir, DeployAction::ListDeviceInfo,
                                              edtIP->maskedText(), edtPwd->text());
    DeviceCommands::Settings settings;
    settings.heldBack = {btnConn};
    settings.hourglass = true;
    deviceCommands_->run(command, JavaBinDir, settings,
                         [this](const QString& output) { ShowDeviceInfo(output); });
}

void TfrmBB10::ShowDeviceInfo(const QString& output) {
    const DeviceInfo info = ReadDeviceInfo(output);
    if (!info.connected) {
        MessageBox::show(this, {MessageBox::Kind::Error, ApplicationTitle(),
                                ConnectErrorText(output), MessageBox::Ok});
        return;
    }
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

// A model without a picture file, or with one that does not decode, keeps the current picture.
void TfrmBB10::ShowModelPicture(const QString& modelKey) {
    const QString path = ModelPicturePath(AppDir, modelKey);
    if (!QFileInfo(path).isFile()) {
        return;
    }
    const QPixmap picture(path);
    if (!picture.isNull()) {
        imgModel->setPicture(picture);
    }
}

} // namespace kestrane
