// Connecting to the device and showing its identity.

#include "TfrmBB10.h"

namespace kestrane {

// Not yet connected to anything: Connect comes with the device information.
void TfrmBB10::btnConnClick() {}

} // namespace kestrane
