#include "Terminal.h"

#include <QFile>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrane::cli {

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

std::optional<QString> AskPassword(const QString& prompt) {
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    const QByteArray text = prompt.toLocal8Bit();
    if (write(tty, text.constData(), static_cast<size_t>(text.size())) < 0) {
        close(tty);
        return std::nullopt;
    }
    termios saved{};
    const bool echoOff = tcgetattr(tty, &saved) == 0;
    if (echoOff) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    char c = 0;
    while (read(tty, &c, 1) == 1 && c != '\n')
        line.append(c);
    if (echoOff)
        tcsetattr(tty, TCSAFLUSH, &saved);
    close(tty);
    return QString::fromLocal8Bit(line);
}

std::optional<QString> FirstLineOf(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace kestrane::cli
