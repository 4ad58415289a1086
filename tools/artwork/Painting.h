#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

// Drawing helpers shared by the pictures of the window and the device models.
namespace artwork {

QFont Font(int pixelSize, bool bold = false);

QLinearGradient Vertical(const QRectF& area, const QColor& top, const QColor& bottom);

// A soft shadow under a device standing on the white card.
void DrawFloorShadow(QPainter& painter, const QRectF& base);

// The screen of a BB10 device: a wallpaper with a status strip and rounded app tiles laid out in
// columns × rows (or larger "active frames" when frames is set).
struct ScreenStyle {
    QColor wallpaperTop;
    QColor wallpaperBottom;
    int columns = 4;
    int rows = 4;
    bool frames = false;
};
void DrawScreen(QPainter& painter, const QRectF& area, qreal radius, const ScreenStyle& style);

// A keyboard of rows of keys, each with its letter; with frets (thin metal strips between the
// rows) or with separate keys.
struct KeyboardStyle {
    QColor keyTop;
    QColor keyBottom;
    QColor letter;
    QColor fret; // transparent for keyboards without frets
    bool slanted = false;
};
void DrawKeyboard(QPainter& painter, const QRectF& area, const QStringList& rows,
                  const KeyboardStyle& style);

} // namespace artwork
