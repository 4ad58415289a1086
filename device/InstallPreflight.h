#pragma once

#include "BarInfo.h"
#include "DeviceInfo.h"
#include "InstallRun.h"

#include <QDate>
#include <QString>

namespace kestrane {

// The App Type a queued BAR shows: "Debug token" for a debug token, the manifest's type else.
QString BarTypeText(const BarInfo& bar);

// The name a queued BAR shows: the manifest's Application-Name. A debug token has none; it is
// named by what it is and whose it is, "Debug token (Package-Author)", so that its row is not
// blank.
QString BarDisplayName(const BarInfo& bar);

// What the install list says of a BAR before it goes to the connected device: a short text for
// its Status column and the whole sentence for the cell's tooltip; both empty when there is
// nothing to say. The device decides in the end: a BAR with a note is installed like any other
// when the user starts the run.
//   A debug token: "Not for this device" ("Debug token not for this device (PIN 2A7F3C9E)") when
//   the device's PIN is not among its device ids; "Expired DATE" ("Debug token expired on DATE")
//   when its expiry date lies before today; else "Valid until DATE".
//   A BAR whose Application-Requires-System is newer than the device's OS: "Needs OS 10.3.0.0"
//   ("Needs OS 10.3.0.0; the device has 10.2.1.3247. The device will refuse it.").
// A device whose PIN or OS version was not reported (still "...") gives no note on them.
struct BarNote {
    QString text;
    QString detail;
    bool operator==(const BarNote&) const = default;
};
BarNote BarNoteForDevice(const BarInfo& bar, const DeviceInfo& device, const QDate& today);

// The expiry date at the start of a debug token's Debug-Token-Expiry-Date ("2027-01-31" or
// "2027-01-31T23:59:59Z"); invalid when it does not start with one.
QDate DebugTokenExpiryDate(const BarInfo& bar);

// The installation run's item for a queued BAR.
InstallRun::Item InstallItemFor(const QString& name, const QString& barPath, const BarInfo& bar);

} // namespace kestrane
