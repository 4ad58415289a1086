#pragma once

// GoogleTest printers for Qt's text types: a failing comparison shows the text, quoted and
// escaped as GoogleTest shows a std::string, instead of the object's bytes, and parameters that
// hold text print the same in every build (their printed form is part of a test's name).
//
// Every file of a test program must see them (GoogleTest instantiates its printers once per
// type and program), so kestrane_gtest_qt puts this header ahead of each of its files.

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << ::testing::PrintToString(text.toStdString());
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << ::testing::PrintToString(bytes.toStdString());
}
