// The About box's links to the maker: the support e-mail, the web site and the donation page.

#include "TfrmBB10.h"

namespace kestrane {

// Not yet opened: the addresses come with the support links.
void TfrmBB10::Label10Click() {}
void TfrmBB10::Label11Click() {}
void TfrmBB10::ImgDonateClick() {}

} // namespace kestrane
