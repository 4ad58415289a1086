#pragma once

#include <QString>

namespace kestrane {

// What Connect shows of a device, read from the output of "-listDeviceInfo". A value that no
// line gave stays "...".
struct DeviceInfo {
    // The output had at least three lines. Connect needs that on top of a command that succeeded
    // (JudgeDeviceCommand); with fewer lines the values below mean nothing.
    bool connected = false;
    QString deviceName = QStringLiteral("...");
    QString modelNumber = QStringLiteral("...");
    QString hardwareId = QStringLiteral("...");
    QString imei = QStringLiteral("...");
    QString serialNumber = QStringLiteral("...");
    QString pin = QStringLiteral("...");
    QString os = QStringLiteral("...");
    QString version = QStringLiteral("...");
    QString airVersion = QStringLiteral("...");
    QString flashVersion = QStringLiteral("...");
    // Not shown: selects the model picture. Empty when no line gave it.
    QString modelKey;
};

// Reads the device's properties out of the tool's whole output: every line is tested against
// every key ("modelfullname:", "modelname:", ..., exact and case-sensitive, anywhere in the
// line), the last line that holds a key giving its value; then a device without a model name whose
// OS is "BlackBerry PlayBook OS" becomes "BlackBerry PlayBook" with the model key "playbook".
DeviceInfo ReadDeviceInfo(const QString& output);

// The picture of a model: <AppDir>/lib/blackberry-<model key>.jpg, the key exactly as read.
QString ModelPicturePath(const QString& appDir, const QString& modelKey);

} // namespace kestrane
