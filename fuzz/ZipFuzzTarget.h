#pragma once

// The archive fuzzer's entry function (zip_fuzzer.cpp): opens, lists and extracts one input,
// and aborts with a message on any fault. libFuzzer calls it in the fuzzer build; the replay
// program and the tests call it in the normal build.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
