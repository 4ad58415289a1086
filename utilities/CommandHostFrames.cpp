#include "CommandHostFrames.h"

namespace kestrane {
namespace {

constexpr qsizetype HeaderSize = 5;
// Far more than any piece of output a command writes at once.
constexpr quint32 LargestPayload = 64u << 20;

quint32 BigEndian32(const char* bytes) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

bool KnownTag(char tag) {
    switch (tag) {
    case CommandHostFrame::Ready:
    case CommandHostFrame::Refused:
    case CommandHostFrame::Out:
    case CommandHostFrame::Err:
    case CommandHostFrame::Exit:
        return true;
    default:
        return false;
    }
}

} // namespace

int CommandHostFrame::exitCode() const {
    if (payload.size() != 4)
        return -1;
    return static_cast<int>(BigEndian32(payload.constData()));
}

bool CommandHostFrameReader::next(CommandHostFrame& frame) {
    if (broken_ || pending_.size() < HeaderSize)
        return false;
    const char tag = pending_[0];
    const quint32 length = BigEndian32(pending_.constData() + 1);
    if (!KnownTag(tag) || length > LargestPayload) {
        broken_ = true;
        return false;
    }
    if (pending_.size() < HeaderSize + static_cast<qsizetype>(length))
        return false;
    frame.tag = tag;
    frame.payload = pending_.mid(HeaderSize, length);
    pending_.remove(0, HeaderSize + length);
    return true;
}

QString CommandHostJarPath(const QString& appDir) {
    return appDir + QStringLiteral("/lib/CommandHost.jar");
}

QStringList CommandHostArguments(const QString& appDir) {
    return {QStringLiteral("-Djava.security.manager=allow"),
            QStringLiteral("-Xbootclasspath/a:") + CommandHostJarPath(appDir),
            QStringLiteral("kestrane.commandhost.Main")};
}

} // namespace kestrane
