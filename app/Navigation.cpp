// Moving between the three screens and folding the connection panel away.

#include "TfrmBB10.h"

namespace kestrane {

void TfrmBB10::SpeedButton3Click() {
    BringToFront(pMain);
}

void TfrmBB10::btnInstallAppsClick() {
    BringToFront(pInstall);
}

void TfrmBB10::btnManageAppsClick() {
    BringToFront(pManage);
    if (AppsListPending) {
        btnRefreshAppClick();
        // Falls whatever the refresh found: later visits show the list as it was left.
        AppsListPending = false;
    }
}

void TfrmBB10::btnCloseClick() {
    close();
}

void TfrmBB10::SpeedButton2Click() {
    // The information panel follows through the resize (eventFilter): its anchored children
    // stretch or move with its right edge.
    const int width = Panel1->width() > 0 ? 0 : ConnectionPanelWidth;
    Panel1->resize(width, Panel1->height());
}

} // namespace kestrane
