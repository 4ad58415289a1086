#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace kestrane {

// The file-open dialog of the system, behind a seam: a test queues the files the next dialog
// "chooses" (an empty list stands for Cancel), and the dialog then returns them at once without
// being shown. With nothing queued the real dialog is shown.
class FileDialog {
public:
    struct Request {
        QString title;
        QString filter; // in the dialog's own form: "BAR file (*.bar)"
        QString folder; // where the dialog opens; empty for the current folder
    };

    // The full paths of the files the user chose, in the dialog's order; empty when cancelled.
    static QStringList getOpenFileNames(QWidget* parent, const Request& request);

    // The folder the user chose in the system's folder dialog; empty when cancelled. Answered from
    // the same queue (its first path).
    static QString getExistingDirectory(QWidget* parent, const Request& request);
    // The file the user chose to save to in the system's save dialog, which opens on
    // request.folder (a folder, or a file name to suggest); empty when cancelled. The dialog asks
    // before replacing a file. Answered from the same queue (its first path).
    static QString getSaveFileName(QWidget* parent, const Request& request);
    static void setNextFileNames(const QStringList& paths);
    static void setNextFileName(const QString& path);
    // The requests answered from the queue since the last call, oldest first.
    static QList<Request> takeAnsweredRequests();
    // The queued answers no dialog has taken yet.
    static int pendingAnswers();
    static void reset();
};

// The window's file-open dialog component: a title and a filter set where it is used, several
// files selectable, the read-only check box hidden and the dialog resizable (the system dialog's
// defaults). After a successful execute the chosen paths are in files().
class OpenDialog : public QObject {
    Q_OBJECT
public:
    explicit OpenDialog(QWidget* owner);

    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    // The filter as pairs of a description and a pattern separated by "|", e.g.
    // "BAR file|*.bar" or "BAR file|*.bar|All files|*".
    QString filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }
    // The folder the dialog opens in.
    QString initialDir() const { return initialDir_; }
    void setInitialDir(const QString& folder) { initialDir_ = folder; }

    // Shows the dialog; true when the user chose at least one file.
    bool execute();
    QStringList files() const { return files_; }

private:
    QWidget* owner_;
    QString title_;
    QString filter_;
    QString initialDir_;
    QStringList files_;
};

// Turns "Description|pattern|Description|pattern" into the dialog's "Description (pattern);;...".
// A description without its pattern stands alone.
QString DialogFilterText(const QString& pipeSeparatedFilter);

} // namespace kestrane
