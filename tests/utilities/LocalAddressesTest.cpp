#include "LocalAddresses.h"

#include <QHostAddress>

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

struct SuggestionCase {
    QStringList localAddresses;
    const char* expected;
};

TEST(SuggestDeviceAddress, LowersTheLastGroupOfTheLastLinkLocalAddress) {
    const SuggestionCase cases[] = {
        {{"192.168.1.20", "169.254.36.2"}, "169.254.36.1"},
        {{"169.254.36.2", "169.254.7.10"}, "169.254.7.9"}, // the last match wins
        {{"169.254.3.7", "10.0.0.1"}, "169.254.3.6"},      // ... also when others follow it
        {{"10.169.254.7"}, "10.169.254.6"},                // a plain substring test
        {{"169.254.7.1"}, "169.254.7.0"},
        {{"169.254.7.0"}, "169.254.7.-1"},     // no check of the result
        {{"169.254.7.010"}, "169.254.7.9"},    // decimal, no leading zeros
        {{"169.254.7.2559"}, "169.254.7.254"}, // at most three characters read
        {{"169.254.7.x"}, ""},                 // not a number: no suggestion
        {{"192.168.1.20", "127.0.0.1"}, ""},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SuggestDeviceAddress(c.localAddresses), QLatin1String(c.expected))
            << c.localAddresses.join(QLatin1Char(' ')).toStdString();
}

TEST(LayAddressIntoMask, FillsEachGroupFromTheLeft) {
    const std::pair<const char*, const char*> cases[] = {
        {"169.254.0.1", "169.254.0  .1  "},
        {"", "   .   .   .   "},
        {"169.254.0  .1  ", "169.254.0  .1  "}, // a field's own text lays back unchanged
        {"10.1", "10 .1  .   .   "},            // missing groups stay unfilled
        {"1.2.3.4.5", "1  .2  .3  .4  "},       // groups beyond the fourth are dropped
        {"169.254.7.-1", "169.254.7  .   "},    // a group that fits no digit positions
        {"1234.5.6.7", "   .5  .6  .7  "},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LayAddressIntoMask(QLatin1String(text)), QLatin1String(expected)) << text;
}

TEST(SystemLocalAddresses, GivesDottedIPv4AddressesWithoutLoopback) {
    const QStringList addresses = SystemLocalAddresses().GetLocalIPAddresses();
    for (const QString& address : addresses) {
        const QHostAddress parsed(address);
        EXPECT_EQ(parsed.protocol(), QAbstractSocket::IPv4Protocol) << address.toStdString();
        EXPECT_FALSE(parsed.isLoopback()) << address.toStdString();
    }
}

} // namespace
