#pragma once

#include <QString>

#include <cstdio>
#include <optional>

namespace kestrane::cli {

// True when stream is a terminal.
bool IsTerminal(std::FILE* stream);

// Asks for a password on the controlling terminal without echo; nullopt when there is none.
std::optional<QString> AskPassword(const QString& prompt);

// The first line of a file (without its line break); nullopt with *error set when it cannot be
// read.
std::optional<QString> FirstLineOf(const QString& path, QString* error);

} // namespace kestrane::cli
