#include "ListRows.h"

#include "CaptionOrder.h"

#include <QTreeWidget>

namespace kestrane {

QTreeWidgetItem* AddListViewRow(QTreeWidget* list, const QString& caption, const QString& text0,
                                const QString& text1, const QString& text2, const QString& text3) {
    // One collator for the program run: making one costs far more than a comparison.
    static const QCollator order = CaptionCollator();
    auto* row = new QTreeWidgetItem(QStringList{caption, text0, text1, text2, text3});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Qt::Unchecked);
    const qsizetype position = SortedInsertPosition(
        list->topLevelItemCount(),
        [list](qsizetype index) { return list->topLevelItem(static_cast<int>(index))->text(0); },
        caption, order);
    list->insertTopLevelItem(static_cast<int>(position), row);
    return row;
}

} // namespace kestrane
