// The connection fields: the address suggestion, the password reveal and the Development Mode
// hint.

#include "MessageBox.h"
#include "TfrmBB10.h"

namespace kestrane {

// Without a link-local address on the machine there is nothing to suggest: the address the user
// typed stays rather than being wiped.
void TfrmBB10::btnRefreshClick() {
    const QString suggestion =
        SuggestDeviceAddress(services_.localAddresses->GetLocalIPAddresses());
    if (!suggestion.isEmpty()) {
        edtIP->setAddressText(suggestion);
    }
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
