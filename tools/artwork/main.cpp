// Draws the pictures of the window, the application icon and the device model pictures.
//
//   kestrane-artwork OUTPUT_FOLDER
//
// writes images/, icons/hicolor/ and models/ below OUTPUT_FOLDER. generate.sh runs it over
// resources/ and turns the donation button into a GIF.

#include "Devices.h"
#include "Painting.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainterPath>

#include <cstdio>

using namespace artwork;

namespace {

QImage NewImage(int width, int height, const QColor& fill = Qt::transparent) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// ---- Bar backgrounds (660 × 60; the top 41 rows show) -------------------------------------------

QImage DrawBar(const QColor& top, const QColor& middle, const QColor& bottom,
               const QColor& accent) {
    QImage image = NewImage(660, 60);
    QPainter painter(&image);
    QLinearGradient shade(0, 0, 0, 60);
    shade.setColorAt(0, top);
    shade.setColorAt(0.35, middle);
    shade.setColorAt(0.68, bottom);
    shade.setColorAt(1, bottom.darker(140));
    painter.fillRect(image.rect(), shade);
    // A soft gloss over the upper half and a light line along the top edge.
    painter.fillRect(QRect(0, 0, 660, 18), QColor(255, 255, 255, 16));
    painter.fillRect(QRect(0, 0, 660, 1), QColor(255, 255, 255, 70));
    painter.fillRect(QRect(0, 1, 660, 1), accent);
    // Light falling in from the left.
    QRadialGradient glow(QPointF(120, 0), 360);
    glow.setColorAt(0, QColor(255, 255, 255, 26));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), glow);
    return image;
}

// ---- Glyphs (24 × 22) -------------------------------------------------------------------------

QImage DrawRefreshGlyph() {
    QImage image = NewImage(24, 22);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour(0xf2, 0xf6, 0xff);
    const QPointF centre(12, 11);
    const qreal radius = 6.5;
    painter.setPen(QPen(colour, 2.1, Qt::SolidLine, Qt::FlatCap));
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    // Two arcs chasing each other, each ending in an arrow head.
    painter.drawArc(circle, 40 * 16, 120 * 16);
    painter.drawArc(circle, 220 * 16, 120 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (const qreal degrees : {40.0, 220.0}) {
        const qreal a = qDegreesToRadians(degrees);
        const QPointF tip(centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a));
        const QPointF along(std::sin(a), std::cos(a)); // clockwise tangent
        const QPointF outward(std::cos(a), -std::sin(a));
        QPolygonF head;
        head << tip + along * 3.6 << tip + outward * 3.4 - along * 0.6
             << tip - outward * 3.4 - along * 0.6;
        painter.drawPolygon(head);
    }
    return image;
}

QImage DrawEyeGlyph() {
    QImage image = NewImage(24, 22);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath eye;
    eye.moveTo(2, 11);
    eye.quadTo(12, 1.5, 22, 11);
    eye.quadTo(12, 20.5, 2, 11);
    painter.setPen(QPen(QColor(0xf2, 0xf6, 0xff), 1.7));
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawPath(eye);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8c, 0xc8, 0xff));
    painter.drawEllipse(QPointF(12, 11), 4.2, 4.2);
    painter.setBrush(QColor(0x10, 0x1c, 0x2c));
    painter.drawEllipse(QPointF(12, 11), 1.9, 1.9);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(13.3, 9.7), 0.9, 0.9);
    return image;
}

// ---- Donation button (122 × 47, shown on the window-frame grey)
// -----------------------------------

const QColor WindowFrameGrey(0x64, 0x64, 0x64);

QImage DrawDonateButton() {
    // Drawn on the grey it is shown on; generate.sh makes that grey transparent, so the
    // smoothed edges blend into the background.
    QImage image = NewImage(122, 47, WindowFrameGrey);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The picture is shown centred in a 110-pixel area: keep 6 pixels free at both sides.
    const QRectF pill(8.5, 5.5, 105, 36);
    painter.setPen(QPen(QColor(0xa8, 0x6c, 0x00), 1.2));
    painter.setBrush(Vertical(pill, QColor(0xff, 0xe0, 0x8a), QColor(0xf3, 0xa1, 0x1c)));
    painter.drawRoundedRect(pill, 18, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawRoundedRect(pill.adjusted(4, 2, -4, -pill.height() / 2), 12, 8);

    // A small heart, then the word.
    QPainterPath heart;
    const QPointF h(29, 23);
    heart.moveTo(h.x(), h.y() + 6);
    heart.cubicTo(h.x() - 10, h.y() - 1, h.x() - 5, h.y() - 9, h.x(), h.y() - 3.5);
    heart.cubicTo(h.x() + 5, h.y() - 9, h.x() + 10, h.y() - 1, h.x(), h.y() + 6);
    painter.setBrush(QColor(0xc6, 0x28, 0x28));
    painter.drawPath(heart);
    painter.setPen(QColor(0x15, 0x32, 0x5c));
    painter.setFont(Font(17, true));
    painter.drawText(QRectF(39, 5, 72, 36), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Donate"));
    return image;
}

// ---- Application icon -------------------------------------------------------------------------

QImage DrawIcon(int size) {
    QImage image = NewImage(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient blue(tile.topLeft(), tile.bottomRight());
    blue.setColorAt(0, QColor(0x35, 0x7a, 0xc7));
    blue.setColorAt(1, QColor(0x10, 0x2c, 0x52));
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawRoundedRect(tile, s * 0.2, s * 0.2);

    // A phone standing in the tile.
    const QRectF phone(s * 0.29, s * 0.14, s * 0.42, s * 0.72);
    painter.setBrush(QColor(0xf5, 0xf7, 0xfa));
    painter.drawRoundedRect(phone, s * 0.07, s * 0.07);
    const bool small = size <= 24;
    const QRectF screen = phone.adjusted(s * 0.045, s * (small ? 0.07 : 0.09), -s * 0.045,
                                         -s * (small ? 0.08 : 0.11));
    painter.setBrush(QColor(0x1a, 0x26, 0x38));
    painter.drawRoundedRect(screen, s * 0.015, s * 0.015);

    // An amber arrow coming down into the screen: a package going onto the device.
    const QPointF c = screen.center();
    const qreal w = screen.width();
    QPolygonF arrow;
    arrow << QPointF(c.x() - w * 0.16, screen.top() + screen.height() * 0.16)
          << QPointF(c.x() + w * 0.16, screen.top() + screen.height() * 0.16)
          << QPointF(c.x() + w * 0.16, c.y() + screen.height() * 0.02)
          << QPointF(c.x() + w * 0.36, c.y() + screen.height() * 0.02)
          << QPointF(c.x(), screen.bottom() - screen.height() * 0.14)
          << QPointF(c.x() - w * 0.36, c.y() + screen.height() * 0.02)
          << QPointF(c.x() - w * 0.16, c.y() + screen.height() * 0.02);
    painter.setBrush(QColor(0xff, 0xb2, 0x2e));
    painter.drawPolygon(arrow);
    if (!small) {
        painter.setBrush(QColor(0x9a, 0xa6, 0xb5));
        painter.drawRoundedRect(
            QRectF(c.x() - s * 0.05, phone.top() + s * 0.035, s * 0.1, s * 0.018), s * 0.009,
            s * 0.009);
    }
    return image;
}

// ---- Writing ----------------------------------------------------------------------------------

bool Save(const QImage& image, const QString& path, const char* format, int quality = -1) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QImage out = qstrcmp(format, "JPEG") == 0 ? image.convertToFormat(QImage::Format_RGB32)
                                                    : image.convertToFormat(QImage::Format_ARGB32);
    if (!out.save(path, format, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));

    const QString out = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= Save(DrawBar(QColor(0x4b, 0x52, 0x5c), QColor(0x2c, 0x31, 0x38), QColor(0x16, 0x19, 0x1d),
                       QColor(0xff, 0xb2, 0x2e, 90)),
               out + "/images/bar-background.png", "PNG");
    ok &= Save(DrawBar(QColor(0x40, 0x53, 0x6e), QColor(0x22, 0x30, 0x44), QColor(0x10, 0x17, 0x22),
                       QColor(0x8c, 0xc8, 0xff, 90)),
               out + "/images/bar-background-main.png", "PNG");
    ok &= Save(DrawDefaultDevice(), out + "/images/device-default.jpg", "JPEG", 92);
    ok &= Save(DrawDonateButton(), out + "/images/donate.png", "PNG");
    ok &= Save(DrawRefreshGlyph(), out + "/images/refresh.png", "PNG");
    ok &= Save(DrawEyeGlyph(), out + "/images/eye.png", "PNG");
    for (const int size : {256, 128, 64, 48, 32, 24, 16}) {
        ok &= Save(DrawIcon(size),
                   QStringLiteral("%1/icons/hicolor/%2x%2/apps/kestrane.png").arg(out).arg(size),
                   "PNG");
    }
    int count = 0;
    const ModelPicture* models = ModelPictures(&count);
    for (int i = 0; i < count; ++i) {
        const QImage picture = models[i].draw(QString::fromUtf8(models[i].label));
        ok &= Save(picture, QStringLiteral("%1/models/blackberry-%2.jpg").arg(out, models[i].key),
                   "JPEG", 92);
    }
    return ok ? 0 : 1;
}
