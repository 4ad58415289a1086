#include "EZAException.h"

#include <gtest/gtest.h>

namespace {

struct Composition {
    int native;
    const char* component;
    std::initializer_list<ZAFormatArg> args;
    int errorCode;
    const char* message;
};

TEST(EZAException, ComposesMessageFromTableNameAndSuffix) {
    const Composition cases[] = {
        {13, "ZipArchive1", {}, 7, "ZipArchive1: Archive is not open - Native error: 00013"},
        {35, "", {}, 18, "Invalid archive file. - Native error: 00035"},
        {0, "", {}, 0, "Unknown error - Native error: 00000"},
        {99, "ZipArchive1", {}, 0, "ZipArchive1: Unknown error - Native error: 00099"},
        {12,
         "ZipArchive1",
         {std::string("/tmp/a.bar")},
         6,
         "ZipArchive1: File \"/tmp/a.bar\" not found - Native error: 00012"},
        {61, "", {std::string("x")}, 36, "File name is too long: \r\n\"x\" - Native error: 00061"},
        {34,
         "",
         {std::int64_t{5}, std::int64_t{7}},
         17,
         "Invalid compressed size, rfs.size = 5, count = 7 - Native error: 00034"},
        {55, "", {}, 32, "Deflate64 compression method is not supported - Native error: 00055"},
        {65,
         "",
         {},
         39,
         "Disk is full. There is not enough free space on disk. - Native error: 00065"},
        {66,
         "",
         {},
         39,
         "Disk is full. There is not enough free space on disk. - Native error: 00066"},
        {123456, "", {}, 0, "Unknown error - Native error: 123456"},
    };
    for (const Composition& c : cases) {
        const EZAException error(c.native, c.component, c.args);
        EXPECT_STREQ(error.what(), c.message) << c.native;
        EXPECT_EQ(error.ErrorCode, c.errorCode) << c.native;
        EXPECT_EQ(error.NativeError, c.native);
    }
}

TEST(EZAException, EveryNativeNumberInUseHasItsMessage) {
    // Spot checks across the code table, including numbers sharing a text.
    const std::pair<int, int> pairs[] = {{1, 1},   {16, 1},  {24, 1},  {8, 4},   {10, 5},
                                         {29, 5},  {53, 6},  {19, 9},  {23, 9},  {20, 10},
                                         {26, 13}, {28, 15}, {40, 22}, {44, 24}, {45, 24},
                                         {48, 27}, {57, 27}, {58, 34}, {59, 34}, {64, 38}};
    for (const auto& [native, index] : pairs)
        EXPECT_EQ(EZAException::ErrorCodeOf(native), index) << native;
    for (int native = 1; native < EZAException::NativeCount; ++native)
        EXPECT_NE(EZAException::ErrorCodeOf(native), 0) << native;
}

} // namespace
