// The plain controls of a window: a label, a frame, a line and a picture box.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace corvane::platform {

// A caption at the top left of its rectangle. A label tall enough for two lines wraps at word
// breaks, and a word longer than the width (such as a long path) breaks where it must; a
// one-line label whose caption is wider than its place in the layout table (the window font's
// stand-in may be wider than the font the table was made for) grows to the right, as far as its
// parent reaches, instead of losing text.
// A label shows only whole lines: when the caption needs more lines than its height holds, the
// last line that fits ends in an ellipsis, and the whole caption is its tooltip. Its accessible
// name is always the whole caption. Bytes of a file name that are not UTF-8 show as U+FFFD.
// The caption starts at the window's start (the left, or the right in a right-to-left window)
// whatever the direction of its own text, which it keeps inside.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(const QString& caption, QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    // Takes the current width as the width from the layout table and fits the caption to it.
    void Fit();
    // Makes this label the caption of `value`: screen readers then read this label as the
    // value's label, and an empty value as this caption followed by "empty" rather than as
    // nothing (which a screen reader fills in from whatever surrounds the label).
    void Describe(Label* value);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ShowWholeLines();
    void AlignAsWindow();

    QString caption_;
    int layoutWidth_ = -1;  // not placed yet
    Label* describedBy_ = nullptr;
};

// A frame around a group of controls, drawn as Windows draws one: an etched rectangle (a shadow
// line with a highlight line inside it, in the palette's Dark and Light) whose top runs through
// the middle of the caption's height, so that the caption sits on the top line, near its left
// end, over the window's colour, and the controls placed from the frame's top downwards sit
// below the line. The caption keeps its QGroupBox title, which screen readers read as the
// group's name.
class Frame : public QGroupBox {
    Q_OBJECT
public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr);
    // The row of the frame's top shadow line: half the caption's height.
    int TopLine() const;
    // Where the caption's text starts, from the frame's left edge.
    static constexpr int kCaptionLeft = 8;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A one-pixel line in the window's text colour between two points of its parent.
class Line : public QWidget {
    Q_OBJECT
public:
    explicit Line(QWidget* parent = nullptr);
    void SetEnds(QPoint from, QPoint to);
    QPoint From() const { return from_; }
    QPoint To() const { return to_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint from_;
    QPoint to_;
};

// A bitmap in a sunken two-pixel border, cut off where the box or the window ends.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(const QString& image, QWidget* parent = nullptr);
    const QPixmap& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace corvane::platform
