// Dotted versions compared numerically, and the device's OS against a BAR's required version.

#include "SystemVersion.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

struct VersionCase {
    const char* left;
    const char* right;
    std::optional<std::strong_ordering> order;
};

TEST(CompareVersionsTest, ComponentByComponentMissingOnesZero) {
    const auto less = std::strong_ordering::less, equal = std::strong_ordering::equal,
               greater = std::strong_ordering::greater;
    const VersionCase cases[] = {
        {"10.2.1.3247", "10.3.0.0", less},
        {"10.3", "10.3.0.0", equal},
        {"10.3.0.1", "10.3", greater},
        {"10.10", "10.9.9", greater}, // numbers, not text
        {"2.1.0.1917", "2.1.0", greater},
        {"010.3", "10.3", equal},
        {" 10.3.3.2205 ", "10.3.3.2205", equal},
        {"999999999999999999", "1", greater},
        // Not dotted versions: no answer.
        {"BlackBerry 10", "10.3", std::nullopt},
        {"...", "10.3", std::nullopt},
        {"10.3", "", std::nullopt},
        {"10..3", "10.3", std::nullopt},
        {"10.3.", "10.3", std::nullopt},
        {"10.3-beta", "10.3", std::nullopt},
        {"+10.3", "10.3", std::nullopt},
        {"1.9999999999999999999", "1", std::nullopt},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(std::string(c.left) + " vs " + c.right);
        EXPECT_EQ(CompareVersions(QString::fromUtf8(c.left), QString::fromUtf8(c.right)), c.order);
    }
}

TEST(DeviceOsOlderThanTest, ReadsTheSoftwareRelease) {
    DeviceInfo q10;
    q10.os = QStringLiteral("BlackBerry 10");
    q10.version = QStringLiteral("10.2.1.3247");
    EXPECT_TRUE(DeviceOsOlderThan(q10, QStringLiteral("10.3.0.0")));
    EXPECT_FALSE(DeviceOsOlderThan(q10, QStringLiteral("10.2.1")));
    EXPECT_FALSE(DeviceOsOlderThan(q10, QStringLiteral("10.2.1.3247")));
    DeviceInfo playBook;
    playBook.os = QStringLiteral("BlackBerry PlayBook OS");
    playBook.version = QStringLiteral("2.1.0.1917");
    EXPECT_FALSE(DeviceOsOlderThan(playBook, QStringLiteral("2.1.0")));
    EXPECT_TRUE(DeviceOsOlderThan(playBook, QStringLiteral("2.1.1")));
    // Nothing to compare: the device decides.
    EXPECT_FALSE(DeviceOsOlderThan(DeviceInfo{}, QStringLiteral("10.3.0.0")));
    EXPECT_FALSE(DeviceOsOlderThan(q10, QString()));
}

} // namespace
