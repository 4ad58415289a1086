#include "ConsoleRunner.h"

#include <utility>

namespace kestrane {

namespace {
bool isLineBreak(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}
} // namespace

ConsoleJob::ConsoleJob(Feed feed, QObject* parent) : QObject(parent), feed_(feed) {}

void ConsoleJob::receiveText(QStringView text) {
    if (finished_ || text.isEmpty())
        return;
    output_.append(text);
    if (feed_ == Feed::Lines)
        feedLines(text);
    emit outputReceived();
}

// Only the new text is scanned; the lines end where SplitLines would end them, also when a CR LF
// pair is split between two chunks.
void ConsoleJob::feedLines(QStringView text) {
    // No copy of the partial line is kept for comparing: that would copy it once per chunk.
    const bool hadPartialLine = !partialLine_.isEmpty();
    bool lineEnded = false;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool followsCarriageReturn = std::exchange(lineEndedWithCarriageReturn_, false);
        if (followsCarriageReturn && text[i] == QLatin1Char('\n')) {
            lineStart = i + 1;
            continue;
        }
        if (!isLineBreak(text[i]))
            continue;
        partialLine_.append(text.mid(lineStart, i - lineStart));
        emit lineReceived(std::exchange(partialLine_, QString()));
        lineEnded = true;
        lineEndedWithCarriageReturn_ = text[i] == QLatin1Char('\r');
        lineStart = i + 1;
    }
    partialLine_.append(text.mid(lineStart));
    const bool changed =
        lineEnded ? hadPartialLine || !partialLine_.isEmpty() : lineStart < text.size();
    if (changed)
        emit partialLineChanged(partialLine_);
}

void ConsoleJob::complete(int exitCode) {
    if (finished_)
        return;
    finished_ = true;
    exitCode_ = exitCode;
    if (!partialLine_.isEmpty()) {
        emit lineReceived(std::exchange(partialLine_, QString()));
        emit partialLineChanged(partialLine_);
    }
    emit finished(output_);
}

} // namespace kestrane
