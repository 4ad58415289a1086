#include "Fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace kestrane {
namespace {

const QStringList WineTahomaFiles = {
    QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
    QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"),
};

} // namespace

void RegisterWindowFonts() {
    for (const QString& file : WineTahomaFiles) {
        if (QFile::exists(file)) {
            QFontDatabase::addApplicationFont(file);
        }
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
