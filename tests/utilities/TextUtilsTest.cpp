#include "TextUtils.h"

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

struct RemoveSpacesCase {
    const char* text;
    const char* expected;
};

TEST(RemoveSpaces, NormalisesAddressTexts) {
    const RemoveSpacesCase cases[] = {
        {"169.254.0  .1  ", "169.254.0.1"},   // the field's design text
        {"   .   .   .   ", "..."},           // an empty field
        {"               ", ""},              // blanks only
        {" 10. 0. 0. 1 ", "10.0.0.1"},        // blanks before, after and after each dot
        {"\t10.0.0.1\r\n", "10.0.0.1"},       // control characters at the ends
        {"10.0\t.0.1", "10.0\t.0.1"},         // a tab inside stays
        {"169.254..1", "169.254..1"},         // nothing checks the groups
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveSpaces(QString::fromUtf8(c.text)), QString::fromUtf8(c.expected)) << c.text;
}

TEST(TrimControls, KeepsInnerBlanks) {
    EXPECT_EQ(TrimControls(QStringLiteral("  pass word \t")), QStringLiteral("pass word"));
    EXPECT_EQ(TrimControls(QStringLiteral("\x01\x1f")), QString());
}

TEST(SplitLines, BreaksAtCrLfAndCrLf) {
    const QStringList expected{"a", "b", "", "c", "d"};
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\nb\n\nc\rd")), expected);
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n")), QStringList{"a"});
    EXPECT_EQ(SplitLines(QStringLiteral("a\n\n")), (QStringList{"a", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("\r\r\n")), (QStringList{"", ""}));
    EXPECT_TRUE(SplitLines(QString()).isEmpty());
}

} // namespace
