#include "AppLogViewer.h"

#include "FileDialog.h"
#include "MessageBox.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kestrane {

AppLogViewer::AppLogViewer(SandboxCommands commands, SandboxApp app, QWidget* parent)
    : QDialog(parent), commands_(std::move(commands)), app_(std::move(app)),
      text_(new QPlainTextEdit(this)), follow_(new QCheckBox(tr("&Follow"), this)),
      exitCode_(new QLabel(this)), refresh_(new QPushButton(tr("&Refresh"), this)),
      save_(new QPushButton(tr("&Save As..."), this)) {
    setWindowTitle(tr("Log of %1").arg(app_.name));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* close = new QPushButton(tr("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh_);
    buttons->addWidget(follow_);
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(exitCode_);
    layout->addLayout(buttons);
    resize(720, 480);
    followTimer_.setInterval(FollowIntervalMs);
    connect(refresh_, &QPushButton::clicked, this, &AppLogViewer::refresh);
    connect(save_, &QPushButton::clicked, this, &AppLogViewer::saveAs);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(follow_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            followTimer_.start();
            refresh();
        } else {
            followTimer_.stop();
        }
    });
    connect(&followTimer_, &QTimer::timeout, this, [this] {
        if (!fetching_)
            refresh();
    });
    connect(this, &QDialog::finished, this, [this] {
        followTimer_.stop();
        follow_->setChecked(false);
    });
}

void AppLogViewer::refresh() {
    if (fetching_)
        return;
    fetching_ = true;
    refresh_->setEnabled(false);
    setCursor(Qt::WaitCursor);
    std::weak_ptr<bool> alive = alive_;
    commands_.fetchBytes(app_, SandboxLogPath, SandboxLogLimit,
                         [this, alive](const SandboxOutcome& outcome) {
                             if (alive.expired())
                                 return;
                             showLog(outcome);
                         });
}

void AppLogViewer::showLog(const SandboxOutcome& outcome) {
    if (!outcome.verdict.succeeded && !outcome.notFound) {
        finished();
        // Following stops: one box, not one every two seconds.
        follow_->setChecked(false);
        MessageBox::show(this, {MessageBox::Kind::Error, windowTitle(), outcome.verdict.errorText,
                                MessageBox::Ok, outcome.verdict.details});
        return;
    }
    const QString shown = outcome.notFound ? QString() : QString::fromUtf8(outcome.bytes);
    if (shown != text_->toPlainText()) {
        text_->setPlainText(shown);
        text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
    }
    if (outcome.notFound)
        text_->setPlaceholderText(tr("%1 has written no log yet.").arg(app_.name));
    std::weak_ptr<bool> alive = alive_;
    commands_.readExitCode(app_, [this, alive](const SandboxOutcome& code) {
        if (alive.expired())
            return;
        showExitCode(code);
    });
}

void AppLogViewer::showExitCode(const SandboxOutcome& outcome) {
    finished();
    if (outcome.exitCode)
        exitCode_->setText(tr("Exited with code %1.").arg(*outcome.exitCode));
    else if (outcome.notFound)
        exitCode_->setText(tr("Not exited: running, or not run since it was installed."));
    else
        exitCode_->setText(tr("Exit code unknown: %1").arg(outcome.verdict.reason));
}

void AppLogViewer::finished() {
    fetching_ = false;
    refresh_->setEnabled(true);
    unsetCursor();
}

void AppLogViewer::saveAs() {
    const QString path =
        FileDialog::getSaveFileName(this, {tr("Save Log As"), tr("Log (*.log);;All files (*)"),
                                           app_.packageName + QStringLiteral(".log")});
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text_->toPlainText().toUtf8()) < 0 ||
        !file.commit())
        MessageBox::show(this, {MessageBox::Kind::Error, windowTitle(),
                                tr("The log could not be saved as %1. Choose another file or "
                                   "folder.")
                                    .arg(path),
                                MessageBox::Ok, file.errorString()});
}

} // namespace kestrane
