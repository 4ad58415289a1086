#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>

#include <vector>

// The kinds of control the window is built from, where the toolkit's own widgets need a little
// help to look and behave as the window wants.

namespace kestrane {

// A borderless button drawn flat on the bar or panel behind it: a caption and/or a glyph, no
// keyboard focus, a thin raised frame while the pointer rests on it and a sunken one while it is
// held down. Clicks on mouse release over it or by its accelerator.
class FlatButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit FlatButton(QWidget* parent);

    void setGlyph(const QPixmap& glyph);

    QSize sizeHint() const override;

signals:
    // Every mouse press on the button, and every release the button sees (with whether the
    // pointer was over it). A press grabs the mouse, so the release of any button is seen.
    void mousePressed(Qt::MouseButton button);
    void mouseReleased(Qt::MouseButton button, bool overButton);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap glyph_;
};

// A label whose left-button click runs a handler; it shows the hand-point cursor.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// A one-line label that cuts a text too long for its width short with "…" and shows the whole
// text in its tooltip. The text is set as on any label (QLabel::setText, also through a QLabel
// pointer): the cut is made when the label is drawn, from the text, font and width it has then.
class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(QWidget* parent);

    // The text as drawn: the whole text when it fits, otherwise its start and "…".
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

// A picture shown at its own size from the top-left corner of its area, clipped; or centred in
// its area (still clipped) when made so.
class Picture : public QWidget {
    Q_OBJECT
public:
    explicit Picture(QWidget* parent);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    void setCentred(bool centred);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    bool centred_ = false;
};

// A picture that runs a handler on a left-button click (the donation button).
class ClickablePicture : public Picture {
    Q_OBJECT
public:
    explicit ClickablePicture(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// A rounded rectangle, white fill and black outline.
class RoundedShape : public QWidget {
    Q_OBJECT
public:
    explicit RoundedShape(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A panel drawn as a lowered bevel: used as a thin separator line.
class LoweredBevel : public QWidget {
    Q_OBJECT
public:
    explicit LoweredBevel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A framed box with an optional caption set into the top edge of the frame.
class GroupFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit GroupFrame(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The address field: a masked edit for "999.999.999.999" whose text, as the program reads it,
// is always 15 characters long: the dots on their places and a blank for every unfilled digit
// position. (QLineEdit::text() leaves unfilled positions out; maskedText() does not.)
class AddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit AddressEdit(QWidget* parent);

    // The 15-character text, e.g. "169.254.0  .1  "; "   .   .   .   " when empty.
    QString maskedText() const;
    // Lays a dotted text into the mask, each group from the left of its three positions. A group
    // that does not fit three digit positions, such as "-1", is left unfilled (LayAddressIntoMask):
    // the mask takes digits only, and keeping the digits alone would show another address.
    void setAddressText(const QString& dottedText);
    // True when no digit position is filled.
    bool isBlank() const;

protected:
    // A click into the blank field puts the cursor on its first position, wherever it lands.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A one-line edit that shows "*" for every character while its echo mode is Password.
class PasswordEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit PasswordEdit(QWidget* parent);
};

// A report-style list: column headers, whole-row selection, several rows selectable, no editing
// in place, each column with its own alignment. A zero-width column stays zero wide: it holds
// data, not display.
class ListView : public QTreeWidget {
    Q_OBJECT
public:
    struct Column {
        QString caption;
        int width;
        Qt::Alignment alignment;
    };

    ListView(QWidget* parent, const std::vector<Column>& columns);
};

// The hidden memo: a buffer of text lines that is never shown. Setting or adding lines announces
// the change; emptying it does not. Its line count leaves out a last line that is empty.
class LineBuffer : public QObject {
    Q_OBJECT
public:
    explicit LineBuffer(QObject* parent);

    const QStringList& lines() const { return lines_; }
    void clear();
    void setText(const QString& text);
    void append(const QString& line);

signals:
    void changed();

private:
    QStringList lines_;
};

} // namespace kestrane
