#pragma once

#include <Qt>

namespace kestrane {

// The columns of the install screen's queue (lstBarFile).
namespace BarColumn {
inline constexpr int Name = 0;
inline constexpr int Version = 1;
inline constexpr int Size = 2;
inline constexpr int AppType = 3;
inline constexpr int Path = 4;
inline constexpr int Status = 5;
} // namespace BarColumn

// Column 0 of a queue row keeps every sub-item text (Version onwards), the hidden ones of
// repeated runs included: what the row is, whatever the visible columns show.
inline constexpr int BarSubItemsRole = Qt::UserRole + 1;
// The Status cell of the row being installed keeps its progress percentage, for the drawn bar.
inline constexpr int BarProgressRole = Qt::UserRole + 2;
// Column 0 keeps the BAR's manifest (a BarInfo), for the run and the notes on the device.
inline constexpr int BarManifestRole = Qt::UserRole + 3;
// Column 0 keeps the note the Status column shows before a run (empty when none), so that a new
// device's notes replace it but never a run's result.
inline constexpr int BarNoteRole = Qt::UserRole + 4;

// The columns of the manage screen's list of installed applications (lstApps); the caption
// column holds the row's check box.
namespace AppColumn {
inline constexpr int Name = 0;
inline constexpr int Version = 1;
inline constexpr int PackageName = 2;
inline constexpr int Status = 3;
inline constexpr int PackageId = 4;
} // namespace AppColumn

} // namespace kestrane
