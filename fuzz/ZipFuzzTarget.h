#pragma once

// The archive fuzzer's entry function (zip_fuzzer.cpp): opens, lists and decodes one input, and
// aborts with a message on any fault. libFuzzer calls it in the fuzzer build; the replay program
// and the tests call it in the normal build.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// The same with the way of extraction chosen: onDisk extracts every entry into a folder and
// checks that nothing was written outside it; otherwise every entry is decoded into memory.
// LLVMFuzzerTestOneInput extracts one input in 16 on disk, chosen by its bytes.
int RunZipFuzzInput(const std::uint8_t* data, std::size_t size, bool onDisk);
