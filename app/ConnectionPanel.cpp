// The connection fields: the address suggestion, the password reveal and the Development Mode
// hint.

#include "MessageBox.h"
#include "Settings.h"
#include "TfrmBB10.h"

namespace kestrane {

// Without a link-local address on the machine there is nothing to suggest: the address the user
// typed stays rather than being wiped.
void TfrmBB10::btnRefreshClick() {
    const QString suggestion =
        SuggestDeviceAddress(services_.localAddresses->GetLocalIPAddresses());
    usbSuggestionShown_ = !suggestion.isEmpty();
    if (usbSuggestionShown_) {
        edtIP->setAddressText(suggestion);
    }
}

// A phone on the USB network is suggested as ever; otherwise (Wi-Fi) the address of the last
// device Connect reached saves typing it again.
void TfrmBB10::ShowStartAddress() {
    usbSuggestionShown_ = false;
    btnRefreshClick();
    if (usbSuggestionShown_)
        return;
    const QString remembered = KestraneSettings().value(LastDeviceAddressKey).toString();
    if (!remembered.isEmpty())
        edtIP->setAddressText(remembered);
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
