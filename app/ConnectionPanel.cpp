// The connection fields: the address suggestion, the password reveal and the Development Mode
// hint.

#include "FindDevicesDialog.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TfrmBB10.h"
#include "UsbNetworking.h"

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

void TfrmBB10::btnFindClick() {
    QString portError;
    const DiscoverySettings settings = DiscoverySettings::FromEnvironment(&portError);
    auto* dialog = new FindDevicesDialog(
        services_.discoveryCandidates(), settings, {},
        UsbNetworkingAdvice(FindPhoneUsbInterfaces(QStringLiteral("/sys")), InterfacesWithIpv4()),
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (!dialog->chosenAddress().isEmpty())
            edtIP->setAddressText(dialog->chosenAddress());
    });
    dialog->open();
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
