#include "Controls.h"

#include "LocalAddresses.h"
#include "TextUtils.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

namespace kestrane {

namespace {
// A left-button press followed by its release over the widget is a click, as for a button.
void NoteClickPress(bool& pressed, const QMouseEvent* event) {
    pressed = event->button() == Qt::LeftButton;
}

bool ReleaseCompletesClick(bool& pressed, const QMouseEvent* event, const QWidget* widget) {
    const bool click = pressed && event->button() == Qt::LeftButton &&
                       widget->rect().contains(event->position().toPoint());
    pressed = false;
    return click;
}
} // namespace

// ---- FlatButton -------------------------------------------------------------------------------

FlatButton::FlatButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void FlatButton::setGlyph(const QPixmap& glyph) {
    glyph_ = glyph;
    update();
}

QSize FlatButton::sizeHint() const {
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    return textSize.expandedTo(glyph_.size()) + QSize(8, 8);
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    const bool active = isEnabled() && (isDown() || underMouse());
    if (active) {
        const QColor light(255, 255, 255, 120);
        const QColor dark(0, 0, 0, 150);
        const QColor topLeft = isDown() ? dark : light;
        const QColor bottomRight = isDown() ? light : dark;
        painter.setPen(topLeft);
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
        if (underMouse() && !isDown()) {
            painter.fillRect(frame.adjusted(1, 1, 0, 0), QColor(255, 255, 255, 28));
        }
    }
    const QPoint shift = isDown() ? QPoint(1, 1) : QPoint(0, 0);
    if (!isEnabled()) {
        painter.setOpacity(0.42);
    }
    if (!glyph_.isNull()) {
        const QPoint corner((width() - glyph_.width()) / 2, (height() - glyph_.height()) / 2);
        painter.drawPixmap(corner + shift, glyph_);
    }
    if (!text().isEmpty()) {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(rect().translated(shift), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
}

void FlatButton::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button());
    QAbstractButton::mousePressEvent(event);
    // Keep every press here, so that the release of any mouse button comes back to this button.
    event->accept();
}

void FlatButton::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->button(), rect().contains(event->position().toPoint()));
    QAbstractButton::mouseReleaseEvent(event);
    event->accept();
}

void FlatButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    update();
}

void FlatButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    update();
}

// ---- LinkLabel --------------------------------------------------------------------------------

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    NoteClickPress(pressed_, event);
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (ReleaseCompletesClick(pressed_, event, this)) {
        emit clicked();
    }
}

// ---- ElidingLabel -----------------------------------------------------------------------------

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent) {}

QString ElidingLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

// Draws as a plain-text label does, with the cut text in place of the whole one.
void ElidingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const int flags = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, contentsRect(), flags, palette(), isEnabled(), shownText(),
                          foregroundRole());
}

// A cut text shows whole in the tooltip, above the label's own tooltip if it has one; a whole
// text leaves the label's own tooltip alone.
bool ElidingLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && isElided()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString own = toolTip();
        QToolTip::showText(help->globalPos(), own.isEmpty() ? text() : text() + u'\n' + own, this,
                           rect());
        return true;
    }
    return QLabel::event(event);
}

// ---- Picture ----------------------------------------------------------------------------------

Picture::Picture(QWidget* parent) : QWidget(parent) {}

void Picture::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void Picture::setCentred(bool centred) {
    centred_ = centred;
    update();
}

void Picture::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    QPoint corner(0, 0);
    if (centred_) {
        corner = QPoint((width() - picture_.width()) / 2, (height() - picture_.height()) / 2);
    }
    painter.drawPixmap(corner, picture_);
}

ClickablePicture::ClickablePicture(QWidget* parent) : Picture(parent) {
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
    NoteClickPress(pressed_, event);
    event->accept();
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (ReleaseCompletesClick(pressed_, event, this)) {
        emit clicked();
    }
}

// ---- RoundedShape, LoweredBevel ---------------------------------------------------------------

RoundedShape::RoundedShape(QWidget* parent) : QWidget(parent) {}

void RoundedShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The corner's rounding grows with the shape's shorter side, as a drawn rounded rectangle
    // of an eighth of that side.
    const qreal radius = std::min(width(), height()) / 8.0;
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

LoweredBevel::LoweredBevel(QWidget* parent) : QWidget(parent) {}

void LoweredBevel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawLine(area.topLeft(), area.topRight());
    painter.drawLine(area.topLeft(), area.bottomLeft());
    painter.setPen(Qt::white);
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.topRight(), area.bottomRight());
}

// ---- GroupFrame -------------------------------------------------------------------------------

GroupFrame::GroupFrame(QWidget* parent) : QGroupBox(parent) {}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    const int frameTop = metrics.height() / 2;
    const QRectF frame = QRectF(rect()).adjusted(0.5, frameTop + 0.5, -1.5, -1.5);

    QRect captionRect;
    if (!title().isEmpty()) {
        captionRect = QRect(8, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        QPainterPath outside;
        outside.addRect(rect());
        QPainterPath caption;
        caption.addRect(captionRect);
        painter.setClipPath(outside.subtracted(caption));
    }
    // An etched frame: a dark line with a light one just inside it.
    painter.setPen(QPen(QColor(0, 0, 0, 110), 1));
    painter.drawRoundedRect(frame, 3, 3);
    painter.setPen(QPen(QColor(255, 255, 255, 120), 1));
    painter.drawRoundedRect(frame.translated(1, 1), 3, 3);
    painter.setClipping(false);

    if (!captionRect.isNull()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(captionRect, Qt::AlignCenter, title());
    }
}

// ---- AddressEdit ------------------------------------------------------------------------------

namespace {

constexpr int AddressLength = 15;
constexpr QChar MaskBlank = QLatin1Char('_');

} // namespace

AddressEdit::AddressEdit(QWidget* parent) : QLineEdit(parent) {
    setInputMask(QStringLiteral("999.999.999.999;_"));
}

QString AddressEdit::maskedText() const {
    QString text = displayText().leftJustified(AddressLength, QLatin1Char(' '), true);
    text.replace(MaskBlank, QLatin1Char(' '));
    return text;
}

void AddressEdit::setAddressText(const QString& dottedText) {
    setText(LayAddressIntoMask(dottedText));
}

bool AddressEdit::isBlank() const {
    const QString text = maskedText();
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// The mask fills a blank field from wherever the cursor stands: a click into the middle of it
// would put the first typed digits into the second or third group. Starting at the first position
// lets an address typed digit by digit, with a dot to end a short group, fill the groups in order.
void AddressEdit::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && isBlank()) {
        setCursorPosition(0);
    }
}

void AddressEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && isBlank()) {
        setCursorPosition(0);
    }
}

// ---- PasswordEdit -----------------------------------------------------------------------------

namespace {

class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

PasswordEdit::PasswordEdit(QWidget* parent) : QLineEdit(parent) {
    auto* style = new StarPasswordStyle;
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
}

// ---- ListView ---------------------------------------------------------------------------------

namespace {

class ColumnAlignmentDelegate : public QStyledItemDelegate {
public:
    ColumnAlignmentDelegate(QObject* parent, std::vector<Qt::Alignment> alignments)
        : QStyledItemDelegate(parent), alignments_(std::move(alignments)) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto column = static_cast<size_t>(index.column());
        if (column < alignments_.size()) {
            option->displayAlignment = alignments_[column] | Qt::AlignVCenter;
        }
    }

private:
    std::vector<Qt::Alignment> alignments_;
};

} // namespace

ListView::ListView(QWidget* parent, const std::vector<Column>& columns) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setColumnCount(static_cast<int>(columns.size()));
    // Without this the last column takes up the rest of the width, and a zero-width data
    // column in the middle would not stay zero wide when the view is resized.
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);

    std::vector<Qt::Alignment> alignments;
    QStringList captions;
    for (const Column& column : columns) {
        captions.append(column.caption);
        alignments.push_back(column.alignment);
    }
    setHeaderLabels(captions);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const Column& column = columns[static_cast<size_t>(i)];
        headerItem()->setTextAlignment(i, column.alignment | Qt::AlignVCenter);
        setColumnWidth(i, column.width);
        if (column.width == 0) {
            header()->setSectionResizeMode(i, QHeaderView::Fixed);
        }
    }
    setItemDelegate(new ColumnAlignmentDelegate(this, std::move(alignments)));
}

// ---- LineBuffer -------------------------------------------------------------------------------

LineBuffer::LineBuffer(QObject* parent) : QObject(parent) {}

void LineBuffer::clear() {
    lines_.clear();
}

void LineBuffer::setText(const QString& text) {
    lines_ = SplitLines(text);
    emit changed();
}

void LineBuffer::append(const QString& line) {
    lines_.append(line);
    emit changed();
}

} // namespace kestrane
