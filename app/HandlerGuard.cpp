#include "HandlerGuard.h"

#include "MessageBox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QObject>
#include <QVariant>
#include <QWidget>

#include <exception>
#include <utility>

namespace kestrane {
namespace {

constexpr char OriginProperty[] = "kestraneClickOrigin";

HandlerOrigin& RunningOrigin() {
    static HandlerOrigin origin = HandlerOrigin::Click;
    return origin;
}

// Marks a handler as running for its duration. Handlers nest (a modal box runs the event loop):
// the outer one's origin comes back afterwards.
class OriginScope {
public:
    explicit OriginScope(HandlerOrigin origin) : outer_(std::exchange(RunningOrigin(), origin)) {}
    ~OriginScope() { RunningOrigin() = outer_; }
    OriginScope(const OriginScope&) = delete;
    OriginScope& operator=(const OriginScope&) = delete;

private:
    HandlerOrigin outer_;
};

bool Reports(HandlerOrigin origin) {
    return origin == HandlerOrigin::Click || origin == HandlerOrigin::Show;
}

// Sees every event of the buttons it is installed on before they do, and notes which kind of
// input will produce the coming click: the toolkit's accelerator arrives as a Shortcut event and
// clicks the button a moment later, a mouse click or a key press on the focused button arrives as
// the mouse or key events that click it.
class ClickOriginTracker : public QObject {
public:
    using QObject::QObject;

    static ClickOriginTracker* instance() {
        static ClickOriginTracker* tracker = new ClickOriginTracker(QCoreApplication::instance());
        return tracker;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Shortcut:
            watched->setProperty(OriginProperty, static_cast<int>(HandlerOrigin::Accelerator));
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            watched->setProperty(OriginProperty, static_cast<int>(HandlerOrigin::Click));
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

void RunHandler(QWidget* window, HandlerOrigin origin, const std::function<void()>& handler) {
    try {
        const OriginScope running(origin);
        handler();
    } catch (const std::exception& error) {
        if (Reports(origin)) {
            ShowDefaultError(window, QString::fromUtf8(error.what()));
        }
    } catch (...) {
        if (Reports(origin)) {
            ShowDefaultError(window, QStringLiteral("Unknown error"));
        }
    }
}

HandlerOrigin CurrentHandlerOrigin() {
    return RunningOrigin();
}

void ShowDefaultError(QWidget* window, const QString& message) {
    MessageBox::show(window, {MessageBox::Kind::Critical, ExecutableBaseName(),
                              DefaultErrorText(message), MessageBox::Ok});
}

QString DefaultErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}

QString ExecutableBaseName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void TrackClickOrigin(QObject* button) {
    button->installEventFilter(ClickOriginTracker::instance());
}

HandlerOrigin ClickOriginOf(const QObject* button) {
    const QVariant origin = button->property(OriginProperty);
    return origin.isValid() ? static_cast<HandlerOrigin>(origin.toInt()) : HandlerOrigin::Click;
}

} // namespace kestrane
