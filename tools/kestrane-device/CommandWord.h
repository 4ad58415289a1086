#pragma once

#include <QString>
#include <QStringList>

namespace kestrane {

// True for the options that take the next argument as their value, whatever the command.
bool TakesValue(const QString& argument);

// The command the arguments name: the first argument that is neither an option ("--...") nor an
// option's value; empty when there is none.
QString CommandWord(const QStringList& arguments);

} // namespace kestrane
