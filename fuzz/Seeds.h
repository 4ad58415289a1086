#pragma once

#include <string>
#include <utility>
#include <vector>

// The fuzzer's generated seeds, file name and bytes; make_seeds writes them for the fuzzer, and
// the tests run each through the fuzzer's entry function.
std::vector<std::pair<std::string, std::string>> FuzzSeeds();
