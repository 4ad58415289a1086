#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace kestrane {

// Adds an unchecked row with a check box to a list that stays in caption order: the caption in
// the first column, the four texts in the next four. The row goes where the user locale's
// case-sensitive comparison puts its caption, after rows with an equal one, so the list never has
// to be sorted as a whole. Returns the new row, which the list owns.
QTreeWidgetItem* AddListViewRow(QTreeWidget* list, const QString& caption, const QString& text0,
                                const QString& text1, const QString& text2, const QString& text3);

} // namespace kestrane
