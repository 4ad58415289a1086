#include "ArgumentFile.h"

#include "Error.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {
namespace {

// One argument in double quotes; inside them the launcher takes \ as an escape character.
void AppendQuoted(QByteArray& text, const QString& argument) {
    text += '"';
    for (const char byte : argument.toUtf8()) {
        switch (byte) {
        case '\\':
            text += "\\\\";
            break;
        case '"':
            text += "\\\"";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\f':
            text += "\\f";
            break;
        default:
            text += byte;
        }
    }
    text += "\"\n";
}

bool WriteAll(int descriptor, const QByteArray& text) {
    const char* bytes = text.constData();
    qsizetype left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, bytes, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        left -= written;
    }
    return true;
}

} // namespace

QByteArray JavaArgumentFileText(const QStringList& arguments) {
    QByteArray text;
    for (const QString& argument : arguments)
        AppendQuoted(text, argument);
    return text;
}

ArgumentFile::ArgumentFile(const QString& folder, const QByteArray& text) {
    QByteArray name = QFile::encodeName(folder);
    if (!name.endsWith('/'))
        name += '/';
    name += ArgumentFilePrefix;
    name += "XXXXXX";
    // mkstemp makes the file with mode 0600 and never follows a link planted in its place.
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0)
        throw Error(QStringLiteral("Cannot create the deploy tool's argument file in %1: %2")
                        .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    path_ = QFile::decodeName(name);
    const bool written = WriteAll(descriptor, text);
    const int savedErrno = errno;
    ::close(descriptor);
    if (!written) {
        ::unlink(name.constData());
        throw Error(QStringLiteral("Cannot write the deploy tool's argument file %1: %2")
                        .arg(path_, QString::fromLocal8Bit(std::strerror(savedErrno))));
    }
}

ArgumentFile::~ArgumentFile() {
    ::unlink(QFile::encodeName(path_).constData());
}

} // namespace kestrane
