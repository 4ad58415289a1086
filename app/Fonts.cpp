#include "Fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace kestrane {
namespace {

// Only the regular face: Wine's tahomabd.ttf draws thin, widely spaced letters at the window's
// sizes, while the bold that the font engine derives from the regular face looks like Tahoma
// Bold.
const QString WineTahomaFile = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");

} // namespace

void RegisterWindowFonts() {
    if (QFile::exists(WineTahomaFile)) {
        QFontDatabase::addApplicationFont(WineTahomaFile);
    }
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont TahomaFont(int pixelSize, FontWeight weight, bool underline) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(weight == FontWeight::Bold);
    font.setUnderline(underline);
    return font;
}

QFont SegoeUiFont(int pixelSize) {
    QFont font(QStringLiteral("Segoe UI"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace kestrane
