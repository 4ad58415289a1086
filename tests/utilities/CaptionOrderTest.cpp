#include "CaptionOrder.h"

#include <QLocale>
#include <QStringList>

#include <gtest/gtest.h>

using namespace kestrane;

namespace {

// Adds the captions one by one where SortedInsertPosition puts them.
QStringList InsertEach(const QStringList& captions) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QCollator order = CaptionCollator();
    QStringList list;
    for (const QString& caption : captions) {
        const qsizetype at = SortedInsertPosition(
            list.size(), [&list](qsizetype i) { return list[i]; }, caption, order);
        list.insert(at, caption);
    }
    return list;
}

TEST(SortedInsertPosition, KeepsTheLocalesCaseSensitiveOrder) {
    // Code order would put every capital first ("Maps" before "apple").
    EXPECT_EQ(InsertEach({"Maps", "banana", "Apple", "apple", "Éclair", "zoo", "Zoo"}),
              (QStringList{"apple", "Apple", "banana", "Éclair", "Maps", "zoo", "Zoo"}));
}

TEST(SortedInsertPosition, EqualCaptionsKeepTheOrderTheyCameIn) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QCollator order = CaptionCollator();
    const QStringList list{"a", "b", "b", "c"};
    const auto at = [&list](qsizetype i) { return list[i]; };
    EXPECT_EQ(SortedInsertPosition(list.size(), at, "b", order), 3);
    EXPECT_EQ(SortedInsertPosition(list.size(), at, "", order), 0);
    EXPECT_EQ(SortedInsertPosition(list.size(), at, "d", order), 4);
    EXPECT_EQ(SortedInsertPosition(0, at, "b", order), 0);
}

} // namespace
