// The plain controls of a window: a label, a line and a picture box.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace corvane::platform {

// A caption at the top left of its rectangle, wrapped at word breaks; a word longer than the
// width (such as a long path) breaks where it must instead of being cut off.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(const QString& caption, QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

private:
    QString caption_;
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
