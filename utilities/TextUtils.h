#pragma once

#include <QString>
#include <QStringList>

namespace kestrane {

// Removes the characters of code 32 or less from both ends, then every blank (U+0020) left inside.
// Tabs and other control characters inside the text stay. Every device command applies it to the
// address field's text.
QString RemoveSpaces(const QString& text);

// Removes the characters of code 32 or less from both ends only (the password's treatment).
QString TrimControls(const QString& text);

// Splits tool output into lines: a line ends at CR, at LF or at CR LF; a line break at the very
// end of the text adds no empty line. An empty text has no lines.
QStringList SplitLines(const QString& text);

} // namespace kestrane
