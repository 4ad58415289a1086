// libFuzzer target over every reader of device output (DeviceOutput.h): arbitrary text, cut into
// chunks, through the console job's line feed and each reader, and parsed as a BAR manifest.
// Hostile output must never make a reader crash, leak or take more than linear time or memory.
#include "DeviceOutput.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kestrane::ReadDeviceOutputBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
