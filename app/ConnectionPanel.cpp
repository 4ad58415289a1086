// The connection fields: the address suggestion, the password reveal and the Development Mode
// hint.

#include "MessageBox.h"
#include "TfrmBB10.h"

namespace kestrane {

void TfrmBB10::btnRefreshClick() {
    edtIP->setAddressText(SuggestDeviceAddress(services_.localAddresses->GetLocalIPAddresses()));
}

void TfrmBB10::SpeedButton1MouseDown(Qt::MouseButton) {
    edtPwd->setEchoMode(QLineEdit::Normal);
}

void TfrmBB10::SpeedButton1MouseUp(Qt::MouseButton) {
    edtPwd->setEchoMode(QLineEdit::Password);
}

void TfrmBB10::lbDevModeOnClick() {
    MessageBox::plain(this, DevelopmentModeHelp);
}

} // namespace kestrane
