// The install screen's queue of BAR files and the installation run.

#include "TfrmBB10.h"

namespace kestrane {

// The queue is not kept yet: these handlers receive their events and do nothing with them.
void TfrmBB10::WMDropFiles(const QStringList&) {}
void TfrmBB10::btnAddBarClick() {}
void TfrmBB10::btnUpClick() {}
void TfrmBB10::btnDownClick() {}
void TfrmBB10::btnClearListClick() {}
void TfrmBB10::RemoveSelectedItems1Click() {}
void TfrmBB10::lstBarFileColumnClick(int) {}
void TfrmBB10::btnInstallBarClick() {}
void TfrmBB10::Memo1Change() {}

} // namespace kestrane
