#include "FileDialog.h"

#include <QFileDialog>
#include <QWidget>

#include <deque>

namespace kestrane {
namespace {

std::deque<QStringList>& QueuedChoices() {
    static std::deque<QStringList> choices;
    return choices;
}

QList<FileDialog::Request>& AnsweredRequests() {
    static QList<FileDialog::Request> requests;
    return requests;
}

} // namespace

QStringList FileDialog::getOpenFileNames(QWidget* parent, const Request& request) {
    if (!QueuedChoices().empty()) {
        QStringList chosen = QueuedChoices().front();
        QueuedChoices().pop_front();
        AnsweredRequests().append(request);
        return chosen;
    }
    return QFileDialog::getOpenFileNames(parent, request.title, request.folder, request.filter);
}

QString FileDialog::getExistingDirectory(QWidget* parent, const Request& request) {
    if (!QueuedChoices().empty()) {
        const QStringList chosen = QueuedChoices().front();
        QueuedChoices().pop_front();
        AnsweredRequests().append(request);
        return chosen.value(0);
    }
    return QFileDialog::getExistingDirectory(parent, request.title, request.folder);
}

QString FileDialog::getSaveFileName(QWidget* parent, const Request& request) {
    if (!QueuedChoices().empty()) {
        const QStringList chosen = QueuedChoices().front();
        QueuedChoices().pop_front();
        AnsweredRequests().append(request);
        return chosen.value(0);
    }
    return QFileDialog::getSaveFileName(parent, request.title, request.folder, request.filter);
}

void FileDialog::setNextFileNames(const QStringList& paths) {
    QueuedChoices().push_back(paths);
}

void FileDialog::setNextFileName(const QString& path) {
    setNextFileNames(QStringList{path});
}

QList<FileDialog::Request> FileDialog::takeAnsweredRequests() {
    QList<Request> requests;
    requests.swap(AnsweredRequests());
    return requests;
}

int FileDialog::pendingAnswers() {
    return static_cast<int>(QueuedChoices().size());
}

void FileDialog::reset() {
    QueuedChoices().clear();
    AnsweredRequests().clear();
}

OpenDialog::OpenDialog(QWidget* owner) : QObject(owner), owner_(owner) {}

bool OpenDialog::execute() {
    files_ = FileDialog::getOpenFileNames(owner_, {title_, DialogFilterText(filter_), initialDir_});
    return !files_.isEmpty();
}

QString DialogFilterText(const QString& pipeSeparatedFilter) {
    if (pipeSeparatedFilter.isEmpty()) {
        return {};
    }
    const QStringList parts = pipeSeparatedFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString pattern = i + 1 < parts.size() ? parts[i + 1] : QString();
        QString patterns = pattern;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(patterns.isEmpty() ? parts[i]
                                          : QStringLiteral("%1 (%2)").arg(parts[i], patterns));
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace kestrane
