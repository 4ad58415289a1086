#include "CaptionOrder.h"

#include <QLocale>

namespace kestrane {

QCollator CaptionCollator() {
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

qsizetype SortedInsertPosition(qsizetype count, const std::function<QString(qsizetype)>& captionAt,
                               const QString& caption, const QCollator& order) {
    qsizetype low = 0;
    qsizetype high = count;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (order.compare(caption, captionAt(middle)) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

} // namespace kestrane
