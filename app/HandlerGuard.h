#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace kestrane {

// How a handler was started. It decides where an exception leaving the handler goes.
enum class HandlerOrigin {
    Click,       // mouse click, or the keyboard on a focused push button: reported
    Show,        // the window's first showing: reported
    Accelerator, // Alt plus a letter: discarded
    Drop,        // files dropped on the window: discarded
};

// Runs one handler. An exception leaving it never goes further: from a click or the showing it
// reaches the default error display (ShowDefaultError), from an accelerator or a drop it is
// discarded without a trace.
void RunHandler(QWidget* window, HandlerOrigin origin, const std::function<void()>& handler);

// The origin of the innermost handler running now; Click outside every handler. Work that a
// handler leaves to finish later (a device command's result) runs with the origin its handler
// had.
HandlerOrigin CurrentHandlerOrigin();

// The default error display: a critical message box titled with the executable's base name,
// showing DefaultErrorText(message).
void ShowDefaultError(QWidget* window, const QString& message);

// The message as the default error display shows it: followed by a full stop when its last
// character comes after "." in code order.
QString DefaultErrorText(const QString& message);

// The executable's file name without its extension.
QString ExecutableBaseName();

// Records, for a button, whether its latest activation came from the mouse or the keyboard
// (Click) or from its accelerator (Accelerator), so that its click handler is run with the right
// origin. Install it on a button with TrackClickOrigin.
void TrackClickOrigin(QObject* button);
HandlerOrigin ClickOriginOf(const QObject* button);

} // namespace kestrane
