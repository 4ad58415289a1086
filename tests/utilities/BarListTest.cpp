// The install list's rules apart from the window: the column sort, the sort state, the duplicate
// search and the extension test for drops.

#include "BarList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace kestrane;

namespace {

BarRow Row(const QString& name, const QString& version, const QString& size,
           const QString& status = QString()) {
    BarRow row{name, {version, size, QStringLiteral("Native"), QStringLiteral("/bars/x.bar")}};
    if (!status.isNull())
        row.subItems.append(status);
    return row;
}

struct CompareCase {
    const char* name;
    BarRow a, b;
    int column;
    bool ascending;
    int expected; // the sign
};

void PrintTo(const CompareCase& c, std::ostream* out) {
    *out << c.name;
}

class CompareBarItemsTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareBarItemsTest, GivesTheOrderOfTwoRows) {
    const CompareCase& c = GetParam();
    const int result = CompareBarItems(c.a, c.b, c.column, c.ascending);
    EXPECT_EQ((result > 0) - (result < 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CompareBarItemsTest,
    ::testing::Values(
        CompareCase{"SizesAreNumbers", Row("A", "1", "999"), Row("B", "1", "1000"), 2, true, -1},
        CompareCase{"DescendingReverses", Row("A", "1", "999"), Row("B", "1", "1000"), 2, false, 1},
        CompareCase{"SizesBeyond32Bits", Row("A", "1", "5000000000"), Row("B", "1", "3000000000"),
                    2, true, 1},
        CompareCase{"NegativeSizeOfAVanishedFile", Row("A", "1", "-1"), Row("B", "1", "0"), 2, true,
                    -1},
        CompareCase{"NamesIgnoreCase", Row("alpha", "1", "1"), Row("Beta", "1", "1"), 0, true, -1},
        CompareCase{"VersionsAreText", Row("A", "10.0", "1"), Row("B", "9.0", "1"), 1, true, -1},
        CompareCase{"TextColumnsAreAllZero", Row("A", "1", "1", "Done"),
                    Row("B", "1", "1", "Error"), 5, true, 0},
        CompareCase{"MissingStatusCountsAsZero", Row("A", "1", "1"), Row("B", "1", "1", "Done"), 5,
                    false, 0},
        CompareCase{"PathsAreAllZero", Row("A", "1", "1"), Row("B", "1", "1"), 4, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SortStateTest, SameColumnReversesAnotherKeepsTheDirection) {
    int column = 0;
    bool ascending = false;
    const struct {
        int click;
        int column;
        bool ascending;
    } steps[] = {{2, 2, false}, {2, 2, true}, {1, 1, true}, {0, 0, true}, {0, 0, false}};
    for (const auto& step : steps) {
        ApplyColumnClick(column, ascending, step.click);
        EXPECT_EQ(column, step.column) << "after a click on " << step.click;
        EXPECT_EQ(ascending, step.ascending) << "after a click on " << step.click;
    }
}

TEST(SortStateTest, TiesKeepTheirOrder) {
    std::vector<BarRow> rows = {Row("C", "1", "5"), Row("A", "1", "7"), Row("B", "1", "5"),
                                Row("D", "1", "7")};
    std::stable_sort(rows.begin(), rows.end(), [](const BarRow& a, const BarRow& b) {
        return CompareBarItems(a, b, 2, false) < 0;
    });
    QStringList names;
    for (const BarRow& row : rows)
        names.append(row.name);
    EXPECT_EQ(names, (QStringList{"A", "D", "C", "B"}));
}

TEST(FindContainingNameTest, ContainmentWithoutLetterCase) {
    const QStringList listed = {"Maps Pro", "Weather"};
    EXPECT_EQ(FindContainingName(listed, "Maps", 0), 0);
    EXPECT_EQ(FindContainingName(listed, "maps PRO", 0), 0);
    EXPECT_EQ(FindContainingName(listed, "Maps Pro Plus", 0), -1);
    EXPECT_EQ(FindContainingName(listed, "the", 0), 1);
    EXPECT_EQ(FindContainingName(listed, "Maps", 1), -1);
    EXPECT_EQ(FindContainingName(listed, "", 0), -1);
    EXPECT_EQ(FindContainingName({""}, "", 0), -1);
    // Only A to Z ignore case.
    EXPECT_EQ(FindContainingName({QStringLiteral("\u00C9t\u00E9")}, QStringLiteral("\u00E9t"), 0),
              -1);
}

TEST(HasBarExtensionTest, OnlyBarInAnyLetterCase) {
    EXPECT_TRUE(HasBarExtension("/home/u/a.bar"));
    EXPECT_TRUE(HasBarExtension("/home/u/b.BAR"));
    EXPECT_TRUE(HasBarExtension("/home/u/c.Bar"));
    EXPECT_TRUE(HasBarExtension("/home/u/.bar"));
    EXPECT_FALSE(HasBarExtension("/home/u/c.txt"));
    EXPECT_FALSE(HasBarExtension("/home/u/c.bar.txt"));
    EXPECT_FALSE(HasBarExtension("/home/u/dir.bar/file"));
    EXPECT_FALSE(HasBarExtension("/home/u/bar"));
}

} // namespace
