#include "Painting.h"

#include <QPainterPath>
#include <QRadialGradient>

#include <array>

namespace artwork {

QFont Font(int pixelSize, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QLinearGradient Vertical(const QRectF& area, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void DrawFloorShadow(QPainter& painter, const QRectF& base) {
    const QPointF centre = base.center();
    QRadialGradient shadow(centre, base.width() / 2);
    shadow.setColorAt(0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.save();
    painter.translate(centre);
    painter.scale(1.0, base.height() / base.width());
    painter.translate(-centre);
    painter.setPen(Qt::NoPen);
    painter.setBrush(shadow);
    painter.drawEllipse(centre, base.width() / 2, base.width() / 2);
    painter.restore();
}

namespace {

const std::array<QColor, 12> TileColours = {
    QColor(0x1e, 0x88, 0xe5), QColor(0x43, 0xa0, 0x47), QColor(0xfb, 0x8c, 0x00),
    QColor(0xe5, 0x39, 0x35), QColor(0x8e, 0x24, 0xaa), QColor(0x00, 0xac, 0xc1),
    QColor(0xfd, 0xd8, 0x35), QColor(0x6d, 0x4c, 0x41), QColor(0x3f, 0x51, 0xb5),
    QColor(0xd8, 0x1b, 0x60), QColor(0x7c, 0xb3, 0x42), QColor(0x54, 0x6e, 0x7a),
};

void DrawWallpaper(QPainter& painter, const QRectF& area, const ScreenStyle& style) {
    painter.fillRect(area, Vertical(area, style.wallpaperTop, style.wallpaperBottom));
    // A few soft light spots, as on the system's wallpapers.
    const std::array<std::pair<QPointF, qreal>, 3> spots = {{
        {{0.25, 0.30}, 0.45},
        {{0.80, 0.55}, 0.35},
        {{0.40, 0.85}, 0.30},
    }};
    for (const auto& [where, size] : spots) {
        const QPointF centre(area.left() + where.x() * area.width(),
                             area.top() + where.y() * area.height());
        QRadialGradient glow(centre, size * area.width());
        glow.setColorAt(0, QColor(255, 255, 255, 45));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillRect(area, glow);
    }
}

void DrawStatusStrip(QPainter& painter, const QRectF& area) {
    const QRectF strip(area.left(), area.top(), area.width(), std::max(9.0, area.height() * 0.055));
    painter.fillRect(strip, QColor(0, 0, 0, 90));
    painter.setPen(QColor(255, 255, 255, 220));
    painter.setFont(Font(std::max(6, static_cast<int>(strip.height() * 0.8))));
    painter.drawText(strip.adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("12:00"));
    // Battery.
    const qreal h = strip.height() * 0.45;
    const QRectF battery(strip.right() - 4 - 2 * h, strip.center().y() - h / 2, 2 * h, h);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(battery);
    painter.fillRect(battery.adjusted(1, 1, -h * 0.6, -1), QColor(255, 255, 255, 220));
}

void DrawTile(QPainter& painter, const QRectF& tile, const QColor& colour, bool frame) {
    const qreal radius = tile.width() * (frame ? 0.06 : 0.22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Vertical(tile, colour.lighter(125), colour.darker(115)));
    painter.drawRoundedRect(tile, radius, radius);
    // A simple white mark in the middle of each tile.
    painter.setBrush(QColor(255, 255, 255, frame ? 70 : 200));
    const qreal mark = std::min(tile.width(), tile.height()) * (frame ? 0.22 : 0.32);
    painter.drawEllipse(tile.center(), mark / 2, mark / 2);
    if (frame) {
        painter.setBrush(QColor(255, 255, 255, 150));
        painter.drawRoundedRect(QRectF(tile.left() + tile.width() * 0.1,
                                       tile.bottom() - tile.height() * 0.18, tile.width() * 0.55,
                                       tile.height() * 0.07),
                                1.5, 1.5);
    }
}

} // namespace

void DrawScreen(QPainter& painter, const QRectF& area, qreal radius, const ScreenStyle& style) {
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(area, radius, radius);
    painter.setClipPath(clip);
    DrawWallpaper(painter, area, style);
    DrawStatusStrip(painter, area);

    const qreal top = area.top() + std::max(9.0, area.height() * 0.055) + area.height() * 0.04;
    const qreal bottom = area.bottom() - area.height() * 0.09;
    const qreal gap = area.width() * (style.frames ? 0.05 : 0.07);
    const qreal cellWidth = (area.width() - gap * (style.columns + 1)) / style.columns;
    const qreal cellHeight =
        style.frames ? (bottom - top - gap * (style.rows - 1)) / style.rows : cellWidth;
    const qreal rowStep = style.frames ? cellHeight + gap : (bottom - top) / style.rows;
    int colour = 0;
    for (int row = 0; row < style.rows; ++row) {
        for (int column = 0; column < style.columns; ++column) {
            const QRectF tile(area.left() + gap + column * (cellWidth + gap), top + row * rowStep,
                              cellWidth, cellHeight);
            DrawTile(painter, tile, TileColours[colour++ % TileColours.size()], style.frames);
        }
    }
    // Page dots above the bottom edge.
    painter.setPen(Qt::NoPen);
    const qreal dot = std::max(1.6, area.width() * 0.018);
    const qreal dotsY = area.bottom() - area.height() * 0.045;
    for (int i = -1; i <= 1; ++i) {
        painter.setBrush(QColor(255, 255, 255, i == 0 ? 230 : 110));
        painter.drawEllipse(QPointF(area.center().x() + i * dot * 3.5, dotsY), dot, dot);
    }
    // The glass: a faint diagonal reflection.
    QLinearGradient glare(area.topLeft(), area.bottomRight());
    glare.setColorAt(0, QColor(255, 255, 255, 38));
    glare.setColorAt(0.45, QColor(255, 255, 255, 8));
    glare.setColorAt(0.46, QColor(255, 255, 255, 0));
    painter.fillRect(area, glare);
    painter.restore();
}

void DrawKeyboard(QPainter& painter, const QRectF& area, const QStringList& rows,
                  const KeyboardStyle& style) {
    const int rowCount = static_cast<int>(rows.size());
    const qreal rowHeight = area.height() / rowCount;
    const bool frets = style.fret.alpha() > 0;
    painter.save();
    for (int row = 0; row < rowCount; ++row) {
        const QString& keys = rows[row];
        const int count = static_cast<int>(keys.size());
        const qreal keyWidth = area.width() / 10.0;
        const qreal rowLeft = area.left() + (area.width() - keyWidth * count) / 2;
        const qreal top = area.top() + row * rowHeight;
        if (frets) {
            const QRectF fret(area.left(), top + rowHeight - 1.6, area.width(), 1.6);
            painter.fillRect(fret, Vertical(fret, style.fret.lighter(130), style.fret.darker(130)));
        }
        for (int i = 0; i < count; ++i) {
            QRectF key(rowLeft + i * keyWidth, top, keyWidth, rowHeight - (frets ? 1.6 : 0));
            key = key.adjusted(frets ? 0.3 : 0.9, 0.8, frets ? -0.3 : -0.9, -0.8);
            const QChar letter = keys[i];
            if (letter == QLatin1Char(' ')) {
                continue;
            }
            if (letter == QLatin1Char('_')) { // the space bar spans its neighbours
                key.adjust(-keyWidth, 0, keyWidth, 0);
            }
            painter.setPen(QPen(QColor(0, 0, 0, 90), 0.6));
            painter.setBrush(Vertical(key, style.keyTop, style.keyBottom));
            const qreal radius = frets ? 1.2 : key.height() * 0.3;
            if (style.slanted) {
                QPainterPath path;
                path.moveTo(key.left() + 1.5, key.top());
                path.lineTo(key.right(), key.top());
                path.lineTo(key.right() - 1.5, key.bottom());
                path.lineTo(key.left(), key.bottom());
                path.closeSubpath();
                painter.drawPath(path);
            } else {
                painter.drawRoundedRect(key, radius, radius);
            }
            if (letter != QLatin1Char('_')) {
                painter.setPen(style.letter);
                painter.setFont(Font(std::max(5, static_cast<int>(key.height() * 0.55)), true));
                painter.drawText(key, Qt::AlignCenter, QString(letter));
            }
        }
    }
    painter.restore();
}

} // namespace artwork
