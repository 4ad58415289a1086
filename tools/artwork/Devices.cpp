#include "Devices.h"

#include "Painting.h"

#include <QPainterPath>

namespace artwork {
namespace {

constexpr qreal LabelTop = 314;

struct Canvas {
    QImage image{DeviceWidth, DeviceHeight, QImage::Format_ARGB32_Premultiplied};
    QPainter painter;

    Canvas() {
        image.fill(Qt::white);
        painter.begin(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
    }

    QImage finish(const QString& label) {
        if (!label.isEmpty()) {
            painter.setPen(QColor(0x33, 0x36, 0x3b));
            painter.setFont(Font(22, true));
            painter.drawText(QRectF(0, LabelTop, DeviceWidth, DeviceHeight - LabelTop - 4),
                             Qt::AlignCenter, label);
        }
        painter.end();
        return image;
    }
};

// The body of a device centred on the canvas, its bottom a little above the label.
QRectF BodyRect(qreal width, qreal height) {
    const qreal bottom = LabelTop - 14;
    return QRectF((DeviceWidth - width) / 2, bottom - height, width, height);
}

struct BodyStyle {
    qreal radius;
    QColor top;
    QColor bottom;
    QColor band; // the metal band around the edge; transparent for none
    qreal bandWidth = 2.0;
};

void DrawBody(QPainter& painter, const QRectF& body, const BodyStyle& style) {
    DrawFloorShadow(painter, QRectF(body.left() - 6, body.bottom() - 6, body.width() + 12, 16));
    painter.setPen(Qt::NoPen);
    if (style.band.alpha() > 0) {
        QLinearGradient metal(body.topLeft(), body.topRight());
        metal.setColorAt(0, style.band.darker(140));
        metal.setColorAt(0.2, style.band.lighter(130));
        metal.setColorAt(0.5, style.band);
        metal.setColorAt(0.8, style.band.lighter(125));
        metal.setColorAt(1, style.band.darker(150));
        painter.setBrush(metal);
        painter.drawRoundedRect(body, style.radius, style.radius);
    }
    const qreal inset = style.band.alpha() > 0 ? style.bandWidth : 0;
    const QRectF face = body.adjusted(inset, inset, -inset, -inset);
    painter.setBrush(Vertical(face, style.top, style.bottom));
    painter.drawRoundedRect(face, std::max(0.0, style.radius - inset),
                            std::max(0.0, style.radius - inset));
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), style.radius, style.radius);
    // A light rim along the top edge.
    painter.setPen(QPen(QColor(255, 255, 255, 55), 1));
    painter.drawLine(QPointF(face.left() + style.radius, face.top() + 1.5),
                     QPointF(face.right() - style.radius, face.top() + 1.5));
}

void DrawEarpiece(QPainter& painter, const QPointF& centre, qreal width) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x50, 0x54, 0x5a));
    painter.drawRoundedRect(QRectF(centre.x() - width / 2, centre.y() - 1.5, width, 3), 1.5, 1.5);
    painter.setBrush(QColor(0x1c, 0x24, 0x35));
    painter.drawEllipse(QPointF(centre.x() + width / 2 + 9, centre.y()), 2.2, 2.2);
}

const ScreenStyle BlueWallpaper{QColor(0x0b, 0x3d, 0x6e), QColor(0x2b, 0x1d, 0x4f), 4, 4, false};
const ScreenStyle TealWallpaper{QColor(0x06, 0x4d, 0x5a), QColor(0x10, 0x22, 0x3a), 4, 4, false};
const ScreenStyle DuskWallpaper{QColor(0x5a, 0x2a, 0x6e), QColor(0x17, 0x1f, 0x3d), 4, 4, false};

const QStringList QwertyRows = {QStringLiteral("QWERTYUIOP"), QStringLiteral("ASDFGHJKL "),
                                QStringLiteral(" ZXCVBNM$ "), QStringLiteral("  0 _ @.  ")};
const QStringList PassportRows = {QStringLiteral("QWERTYUIOP"), QStringLiteral("ASDFGHJKL "),
                                  QStringLiteral(" ZXC _ BNM ")};

// ---- Full-touch phones ------------------------------------------------------------------------

struct TouchPhone {
    qreal width, height;
    BodyStyle body;
    qreal screenSide, screenTop, screenBottom, screenRadius;
    ScreenStyle screen;
};

QImage DrawTouchPhone(const TouchPhone& phone, const QString& label) {
    Canvas canvas;
    QPainter& painter = canvas.painter;
    const QRectF body = BodyRect(phone.width, phone.height);
    DrawBody(painter, body, phone.body);
    const QRectF screen =
        body.adjusted(phone.screenSide, phone.screenTop, -phone.screenSide, -phone.screenBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x05, 0x05, 0x07));
    painter.drawRoundedRect(screen.adjusted(-1.5, -1.5, 1.5, 1.5), phone.screenRadius + 1,
                            phone.screenRadius + 1);
    DrawScreen(painter, screen, phone.screenRadius, phone.screen);
    DrawEarpiece(painter, QPointF(body.center().x(), body.top() + phone.screenTop / 2), 22);
    return canvas.finish(label);
}

QImage DrawZ10(const QString& label) {
    return DrawTouchPhone(
        {130,
         250,
         {14, QColor(0x2c, 0x2c, 0x30), QColor(0x12, 0x12, 0x14), Qt::transparent},
         8,
         30,
         32,
         2,
         BlueWallpaper},
        label);
}

QImage DrawZ30(const QString& label) {
    return DrawTouchPhone(
        {142,
         268,
         {22, QColor(0x22, 0x22, 0x26), QColor(0x0c, 0x0c, 0x0e), QColor(0x8a, 0x8f, 0x96), 2.5},
         7,
         22,
         24,
         8,
         TealWallpaper},
        label);
}

QImage DrawZ3(const QString& label) {
    return DrawTouchPhone(
        {140,
         266,
         {18, QColor(0x45, 0x46, 0x4b), QColor(0x24, 0x25, 0x28), Qt::transparent},
         8,
         26,
         26,
         4,
         DuskWallpaper},
        label);
}

QImage DrawLeap(const QString& label) {
    return DrawTouchPhone(
        {134,
         256,
         {9, QColor(0x55, 0x59, 0x5f), QColor(0x2f, 0x31, 0x35), QColor(0x3a, 0x3c, 0x40), 1.5},
         7,
         28,
         28,
         2,
         BlueWallpaper},
        label);
}

QImage DrawP9982(const QString& label) {
    Canvas canvas;
    QPainter& painter = canvas.painter;
    const QRectF body = BodyRect(130, 252);
    DrawBody(painter, body,
             {6, QColor(0x1a, 0x1a, 0x1c), QColor(0x08, 0x08, 0x09), QColor(0xc9, 0xcc, 0xd1), 3});
    const QRectF screen = body.adjusted(9, 32, -9, -36);
    DrawScreen(painter, screen, 1, DuskWallpaper);
    DrawEarpiece(painter, QPointF(body.center().x(), body.top() + 16), 24);
    // The design's angled line across the chin.
    painter.setPen(QPen(QColor(0xc9, 0xcc, 0xd1), 1.4));
    const qreal y = body.bottom() - 18;
    painter.drawLine(QPointF(body.left() + 18, y + 6), QPointF(body.center().x() - 8, y));
    painter.drawLine(QPointF(body.center().x() - 8, y), QPointF(body.center().x() + 8, y));
    painter.drawLine(QPointF(body.center().x() + 8, y), QPointF(body.right() - 18, y + 6));
    return canvas.finish(label);
}

// ---- Keyboard phones --------------------------------------------------------------------------

struct KeyboardPhone {
    qreal width, height;
    BodyStyle body;
    qreal screenSide, screenTop, screenSize;
    ScreenStyle screen;
    KeyboardStyle keyboard;
    bool navigationBelt = false;
};

void DrawNavigationBelt(QPainter& painter, const QRectF& belt) {
    painter.fillRect(belt, Vertical(belt, QColor(0x3a, 0x3c, 0x40), QColor(0x18, 0x19, 0x1b)));
    const qreal keyWidth = belt.width() / 5;
    const QColor marks[] = {QColor(0x4c, 0xc0, 0x5a), QColor(0xe0, 0xe0, 0xe0),
                            QColor(0xe0, 0xe0, 0xe0), QColor(0xe5, 0x4b, 0x4b)};
    const int positions[] = {0, 1, 3, 4};
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const QPointF centre(belt.left() + keyWidth * (positions[i] + 0.5), belt.center().y());
        painter.setBrush(marks[i]);
        painter.drawRoundedRect(QRectF(centre.x() - 5, centre.y() - 1.5, 10, 3), 1.5, 1.5);
    }
    // The trackpad in the middle.
    const QPointF centre(belt.center());
    painter.setBrush(Vertical(belt, QColor(0x9a, 0xa0, 0xa6), QColor(0x50, 0x54, 0x5a)));
    painter.drawRoundedRect(QRectF(centre.x() - 11, centre.y() - 7, 22, 14), 5, 5);
    painter.setBrush(QColor(0x22, 0x24, 0x27));
    painter.drawRoundedRect(QRectF(centre.x() - 8.5, centre.y() - 4.5, 17, 9), 3.5, 3.5);
}

QImage DrawKeyboardPhone(const KeyboardPhone& phone, const QStringList& rows,
                         const QString& label) {
    Canvas canvas;
    QPainter& painter = canvas.painter;
    const QRectF body = BodyRect(phone.width, phone.height);
    DrawBody(painter, body, phone.body);
    const qreal screenWidth = phone.width - 2 * phone.screenSide;
    const QRectF screen(body.left() + phone.screenSide, body.top() + phone.screenTop, screenWidth,
                        phone.screenSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x05, 0x05, 0x07));
    painter.drawRect(screen.adjusted(-1.5, -1.5, 1.5, 1.5));
    DrawScreen(painter, screen, 1.5, phone.screen);
    DrawEarpiece(painter, QPointF(body.center().x(), body.top() + phone.screenTop / 2), 20);

    qreal keysTop = screen.bottom() + 6;
    if (phone.navigationBelt) {
        DrawNavigationBelt(painter,
                           QRectF(body.left() + 3, screen.bottom() + 3, body.width() - 6, 22));
        keysTop = screen.bottom() + 29;
    }
    const QRectF keys(body.left() + 8, keysTop, body.width() - 16, body.bottom() - keysTop - 12);
    DrawKeyboard(painter, keys, rows, phone.keyboard);
    return canvas.finish(label);
}

const KeyboardStyle DarkFretted{QColor(0x2a, 0x2b, 0x2e), QColor(0x0e, 0x0e, 0x10),
                                QColor(0xf2, 0xf2, 0xf2), QColor(0xa8, 0xad, 0xb3)};

QImage DrawQ10(const QString& label) {
    const ScreenStyle screen{QColor(0x0b, 0x3d, 0x6e), QColor(0x2b, 0x1d, 0x4f), 2, 2, true};
    return DrawKeyboardPhone(
        {132,
         244,
         {16, QColor(0x2a, 0x2a, 0x2e), QColor(0x10, 0x10, 0x12), Qt::transparent},
         9,
         24,
         114,
         screen,
         DarkFretted},
        QwertyRows, label);
}

QImage DrawQ5(const QString& label) {
    const ScreenStyle screen{QColor(0x7a, 0x12, 0x2a), QColor(0x2a, 0x0c, 0x22), 4, 3, false};
    const KeyboardStyle keys{QColor(0xfa, 0xfa, 0xfa), QColor(0xdc, 0xdc, 0xdf),
                             QColor(0x3a, 0x3a, 0x3e), Qt::transparent};
    return DrawKeyboardPhone(
        {132,
         244,
         {22, QColor(0xd4, 0x21, 0x36), QColor(0x94, 0x10, 0x22), Qt::transparent},
         10,
         24,
         112,
         screen,
         keys},
        QwertyRows, label);
}

QImage DrawP9983(const QString& label) {
    const ScreenStyle screen{QColor(0x30, 0x30, 0x36), QColor(0x0e, 0x0e, 0x12), 2, 2, true};
    const KeyboardStyle keys{QColor(0x26, 0x26, 0x29), QColor(0x08, 0x08, 0x09),
                             QColor(0xe8, 0xe8, 0xe8), QColor(0xc9, 0xcc, 0xd1), true};
    return DrawKeyboardPhone(
        {130,
         248,
         {6, QColor(0x1a, 0x1a, 0x1c), QColor(0x08, 0x08, 0x09), QColor(0xc9, 0xcc, 0xd1), 3},
         10,
         26,
         110,
         screen,
         keys},
        QwertyRows, label);
}

QImage DrawClassic(const QString& label) {
    const ScreenStyle screen{QColor(0x06, 0x4d, 0x5a), QColor(0x10, 0x22, 0x3a), 4, 3, false};
    return DrawKeyboardPhone(
        {134,
         268,
         {18, QColor(0x26, 0x26, 0x2a), QColor(0x0e, 0x0e, 0x10), QColor(0x9a, 0xa0, 0xa6), 2.5},
         10,
         24,
         114,
         screen,
         DarkFretted,
         true},
        QwertyRows, label);
}

QImage DrawPassport(const QString& label) {
    const ScreenStyle screen{QColor(0x0b, 0x3d, 0x6e), QColor(0x2b, 0x1d, 0x4f), 3, 2, true};
    return DrawKeyboardPhone(
        {180,
         258,
         {12, QColor(0x26, 0x26, 0x2a), QColor(0x0e, 0x0e, 0x10), QColor(0xb5, 0xba, 0xc0), 3},
         11,
         26,
         158,
         screen,
         DarkFretted},
        PassportRows, label);
}

// ---- The tablet -------------------------------------------------------------------------------

QImage DrawPlayBook(const QString& label) {
    Canvas canvas;
    QPainter& painter = canvas.painter;
    const QRectF body = BodyRect(176, 272);
    DrawBody(painter, body,
             {14, QColor(0x24, 0x24, 0x28), QColor(0x08, 0x08, 0x0a), Qt::transparent});
    const QRectF screen = body.adjusted(15, 24, -15, -24);
    const ScreenStyle style{QColor(0x14, 0x3a, 0x5e), QColor(0x06, 0x12, 0x24), 2, 3, true};
    DrawScreen(painter, screen, 1, style);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1c, 0x24, 0x35));
    painter.drawEllipse(QPointF(body.center().x(), body.top() + 12), 2.6, 2.6);
    return canvas.finish(label);
}

const ModelPicture Models[] = {
    {"Z10", "Z10", DrawZ10},
    {"Z30", "Z30", DrawZ30},
    {"Z3", "Z3", DrawZ3},
    {"Leap", "Leap", DrawLeap},
    {"P9982", "P'9982", DrawP9982},
    {"Q10", "Q10", DrawQ10},
    {"Q5", "Q5", DrawQ5},
    {"P9983", "P'9983", DrawP9983},
    {"Classic", "Classic", DrawClassic},
    {"Passport", "Passport", DrawPassport},
    {"playbook", "PlayBook", DrawPlayBook},
};

} // namespace

QImage DrawDefaultDevice() {
    // A neutral phone in light grey: what the card shows before a model's own picture.
    Canvas canvas;
    QPainter& painter = canvas.painter;
    const QRectF body = BodyRect(132, 252);
    DrawBody(painter, body,
             {16, QColor(0xd9, 0xdc, 0xe1), QColor(0xb4, 0xb9, 0xc0), Qt::transparent});
    const QRectF screen = body.adjusted(9, 30, -9, -34);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Vertical(screen, QColor(0xee, 0xf1, 0xf5), QColor(0xdc, 0xe1, 0xe8)));
    painter.drawRoundedRect(screen, 2, 2);
    DrawEarpiece(painter, QPointF(body.center().x(), body.top() + 15), 22);
    // A plain device outline in the middle of the screen.
    const QRectF mark(screen.center().x() - 14, screen.center().y() - 24, 28, 48);
    painter.setPen(QPen(QColor(0xa9, 0xb1, 0xbc), 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(mark, 5, 5);
    painter.drawLine(QPointF(mark.center().x() - 4, mark.bottom() - 6),
                     QPointF(mark.center().x() + 4, mark.bottom() - 6));
    return canvas.finish(QString());
}

const ModelPicture* ModelPictures(int* count) {
    *count = static_cast<int>(std::size(Models));
    return Models;
}

} // namespace artwork
