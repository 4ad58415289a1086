#pragma once

#include "TfrmBB10.h"

#include <QImage>
#include <QStringList>

namespace kestrane::testing {

// What the main screen shows of a device: the ten value labels in their order.
inline QStringList ValueLabels(const TfrmBB10& window) {
    return {window.lbDevName->text(), window.lbModelNum->text(), window.lbHWID->text(),
            window.lbIMEI->text(),    window.lbSerial->text(),   window.lbPIN->text(),
            window.lbOS->text(),      window.lbVersion->text(),  window.lbAirVer->text(),
            window.lbFlashVer->text()};
}

// A picture in one pixel format, so that pictures loaded in different ways compare equal.
inline QImage Pixels(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// A successful Connect has unlocked the install and manage screens and the panel toggle.
inline bool Unlocked(const TfrmBB10& window) {
    return window.btnInstallApps->isEnabled() && window.btnManageApps->isEnabled() &&
           window.SpeedButton2->isEnabled();
}

} // namespace kestrane::testing
