#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrane::cli {

// Rows of cells as aligned text, one line per row: each column as wide as its widest cell and
// two blanks apart, the last cell left as it is, trailing blanks dropped.
QString Columns(const QList<QStringList>& rows);

} // namespace kestrane::cli
