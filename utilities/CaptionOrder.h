#pragma once

#include <QCollator>
#include <QString>

#include <functional>

namespace kestrane {

// The order list rows keep by their captions: the user locale's case-sensitive comparison.
QCollator CaptionCollator();

// Where a row with caption goes among count rows that are already in caption order (captionAt(i)
// gives row i's caption): after every row whose caption sorts before it or equal to it, so rows
// with equal captions keep the order they were added in. A binary search: about log2(count)
// comparisons.
qsizetype SortedInsertPosition(qsizetype count, const std::function<QString(qsizetype)>& captionAt,
                               const QString& caption, const QCollator& order);

} // namespace kestrane
