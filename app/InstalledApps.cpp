// The manage screen: the list of installed applications and the actions on its ticked rows.

#include "TfrmBB10.h"

namespace kestrane {

// The device is not asked yet: these handlers receive their clicks and do nothing with them.
void TfrmBB10::btnRefreshAppClick() {}
void TfrmBB10::btnCheckAppClick() {}
void TfrmBB10::btnLaunchAppClick() {}
void TfrmBB10::btnTerminateClick() {}
void TfrmBB10::btnUninstallClick() {}

} // namespace kestrane
