#pragma once

#include <QString>
#include <QStringList>

namespace kestrane {

// One row of the install list as the sorting sees it: the caption (the application's name) and
// the sub-items from 0 ("Version") on: size, type, path, status, and any text beyond.
struct BarRow {
    QString name;
    QStringList subItems;
};

// The column sort's comparison: negative when a comes first, positive when b does, zero when
// neither. Column 0 compares the names, column 1 the versions, both as text with the locale's
// case-insensitive comparison. From column 2 on each row's text counts as a whole number (64-bit;
// an empty, missing or non-numeric text counts as 0). Descending sorts reverse the sign.
int CompareBarItems(const BarRow& a, const BarRow& b, int column, bool ascending);

// The number a row's text of a column counts as in the column sort.
qint64 ColumnNumber(const BarRow& row, int column);

// A header click: the same column again reverses the direction; another column keeps it.
void ApplyColumnClick(int& sortColumn, bool& sortAscending, int column);

// The name order the install list keeps: the caption order of every list (CaptionCollator); true
// when a comes before b.
bool NameOrderLess(const QString& a, const QString& b);

// The duplicate search: the index of the first name from start on that contains text (only A to
// Z compared without letter case), or -1. An empty text is found nowhere.
qsizetype FindContainingName(const QStringList& names, const QString& text, qsizetype start);

// True when path's extension (from the last "." of its file name on) is ".bar" in any letter case.
bool HasBarExtension(const QString& path);

} // namespace kestrane
