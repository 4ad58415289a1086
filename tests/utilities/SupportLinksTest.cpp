#include "SupportLinks.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestrane;

namespace {

QString Units(const std::vector<char16_t>& units) {
    return QString(reinterpret_cast<const QChar*>(units.data()),
                   static_cast<qsizetype>(units.size()));
}

std::vector<char16_t> UnitsOf(const QString& text) {
    return {text.utf16(), text.utf16() + text.size()};
}

struct XorCase {
    const char* name;
    std::vector<char16_t> text;
    std::vector<char16_t> key;
    std::vector<char16_t> expected;
};

const XorCase XorCases[] = {
    {"empty text, key not looked at", {}, {}, {}},
    {"empty text, any key", {}, {u'k', u'e', u'y'}, {}},
    // Bits mark which key position served each text position: 2, 3, 4, 5, 1, 2, 3.
    {"five-unit key, positions wrap",
     {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40},
     {0x01, 0x02, 0x04, 0x08, 0x10},
     {0x42, 0x44, 0x48, 0x50, 0x41, 0x42, 0x44}},
    {"key longer than text", {u'a', u'b'}, {0x01, 0x02, 0x04, 0x08, 0x10}, {u'c', u'f'}},
    {"one-unit key serves every position", {u'a', u'b', u'c'}, {0x20}, {u'A', u'B', u'C'}},
    {"result units of 0 are kept", {u'a', u'b', u'c'}, {u'b', u'a'}, {0x00, 0x00, 0x02}},
    {"any 16-bit value", {0xFFFF, 0x1234, 0xD800}, {0x00FF, 0xFFFF}, {0x0000, 0x12CB, 0x27FF}},
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const XorCase& c, std::ostream* out) {
    *out << c.name;
}

class XorStringTable : public ::testing::TestWithParam<XorCase> {};

TEST_P(XorStringTable, CombinesEachUnitWithItsKeyPositionAndUndoesItself) {
    const XorCase& c = GetParam();
    const QString scrambled = XorString(Units(c.text), Units(c.key));
    EXPECT_EQ(UnitsOf(scrambled), c.expected);
    EXPECT_EQ(UnitsOf(XorString(scrambled, Units(c.key))), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, XorStringTable, ::testing::ValuesIn(XorCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(XorString, RefusesAnEmptyKeyForText) {
    EXPECT_THROW(XorString(QStringLiteral("a"), QString()), std::invalid_argument);
}

TEST(MakeSupportAddress, WebAddressOnlyForExactlyH) {
    const QString web = QStringLiteral("http://kestrane.example");
    const QString mail = QStringLiteral("support@kestrane.example");
    EXPECT_EQ(MakeSupportAddress(QStringLiteral("h")), web);
    for (const char* selector : {"m", "H", "", "hh", " h", "http"})
        EXPECT_EQ(MakeSupportAddress(QString::fromUtf8(selector)), mail) << '"' << selector << '"';
}

TEST(DonationAddress, UnscramblesToTheDonationPage) {
    EXPECT_EQ(DonationAddress(), QStringLiteral("https://www.kestrane.example/donation?"
                                                "item=kestrane&currency_code=EUR&amount=10.00"));
    EXPECT_EQ(DonationAddress().size(), 82);
}

} // namespace
