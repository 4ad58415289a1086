#include "BarList.h"

#include "CaptionOrder.h"
#include "TextUtils.h"

#include <QCollator>
#include <QLocale>

namespace kestrane {
namespace {

// The column sort's text comparison, built once: making a collator costs far more than a
// comparison.
const QCollator& CaseInsensitiveCollator() {
    static const QCollator insensitive = [] {
        QCollator collator{QLocale()};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        return collator;
    }();
    return insensitive;
}

int Sign(qint64 difference) {
    return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
}

QString LowerAsciiLetters(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return text;
}

} // namespace

qint64 ColumnNumber(const BarRow& row, int column) {
    const qsizetype index = column - 1;
    if (index < 0 || index >= row.subItems.size())
        return 0;
    const QString text = TrimControls(row.subItems[index]);
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok ? number : 0;
}

int CompareBarItems(const BarRow& a, const BarRow& b, int column, bool ascending) {
    int result = 0;
    if (column == 0) {
        result = CaseInsensitiveCollator().compare(a.name, b.name);
    } else if (column == 1) {
        result = CaseInsensitiveCollator().compare(a.subItems.value(0), b.subItems.value(0));
    } else {
        const qint64 x = ColumnNumber(a, column);
        const qint64 y = ColumnNumber(b, column);
        result = x < y ? -1 : (x > y ? 1 : 0);
    }
    return ascending ? Sign(result) : -Sign(result);
}

void ApplyColumnClick(int& sortColumn, bool& sortAscending, int column) {
    if (column == sortColumn)
        sortAscending = !sortAscending;
    else
        sortColumn = column;
}

bool NameOrderLess(const QString& a, const QString& b) {
    static const QCollator order = CaptionCollator();
    return order.compare(a, b) < 0;
}

qsizetype FindContainingName(const QStringList& names, const QString& text, qsizetype start) {
    if (text.isEmpty())
        return -1;
    const QString wanted = LowerAsciiLetters(text);
    for (qsizetype i = std::max<qsizetype>(start, 0); i < names.size(); ++i)
        if (LowerAsciiLetters(names[i]).contains(wanted))
            return i;
    return -1;
}

bool HasBarExtension(const QString& path) {
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && LowerAsciiLetters(fileName.mid(dot)) == QStringLiteral(".bar");
}

} // namespace kestrane
