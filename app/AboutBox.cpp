// The About box's links to the maker: the support e-mail, the web site and the donation page.
// Each click hands its address to the desktop; nothing is reported when no program opens it.

#include "SupportLinks.h"
#include "TfrmBB10.h"

namespace kestrane {

void TfrmBB10::Label10Click() {
    services().desktop->Open(QStringLiteral("mailto:") + MakeSupportAddress(QStringLiteral("m")));
}

void TfrmBB10::Label11Click() {
    services().desktop->Open(MakeSupportAddress(QStringLiteral("h")));
}

void TfrmBB10::ImgDonateClick() {
    services().desktop->Open(DonationAddress());
}

} // namespace kestrane
