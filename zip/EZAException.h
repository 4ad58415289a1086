#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

// One value for a "%s" or "%d" place of a message text.
using ZAFormatArg = std::variant<std::string, std::int64_t>;

// Every failure of the archive component itself. The message is composed from a fixed table of
// texts chosen by the internal error number (NativeError), optionally prefixed with the raising
// component's name, and always ends with " - Native error: " and the number in five digits.
class EZAException : public std::exception {
public:
    static constexpr int MessageCount = 40;
    static constexpr int NativeCount = 67;

    // componentName empty: no prefix.
    EZAException(int nativeErr, std::string_view componentName);
    EZAException(int nativeErr, std::string_view componentName,
                 std::initializer_list<ZAFormatArg> args);

    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }

    int ErrorCode; // index into the message table
    int NativeError;

    // The message table entry for an index (0 to 39); the code table's message index for a
    // native number (0 when it has none).
    static std::string_view MessageText(int errorCode);
    static int ErrorCodeOf(int nativeErr);

private:
    std::string FMessage;
};

// The archive stream could not deliver the bytes asked for (a read past the end of the file).
class EZAReadError : public std::runtime_error {
public:
    EZAReadError() : std::runtime_error("Stream read error") {}
};

// The archive file could not be opened: "Cannot open file "<full path>". <system error text>".
class EZAOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces each "%s" and "%d" of text, in order, with the next argument.
std::string ZAFormat(std::string_view text, std::initializer_list<ZAFormatArg> args);
