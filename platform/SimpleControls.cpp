#include "platform/SimpleControls.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <QStyle>
#include <QStyleOptionFrame>

#include "platform/Files.h"

namespace corvane::platform {

namespace {
constexpr int kPictureBorder = 2;
// A zero-width space after each separator lets a long path wrap between its folders.
QString Breakable(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        out += c;
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('.')) {
            out += QChar(0x200B);
        }
    }
    return out;
}
}  // namespace

Label::Label(const QString& caption, QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    SetCaption(caption);
}

void Label::SetCaption(const QString& caption)
{
    caption_ = caption;
    setText(Breakable(Shown(caption)));
    if (caption.isEmpty() && describedBy_) {
        QString name = describedBy_->Caption();
        if (name.endsWith(QLatin1Char(':'))) name.chop(1);
        setAccessibleName(name + QStringLiteral(" empty"));
    } else {
        setAccessibleName(Shown(caption));
    }
    if (designWidth_ >= 0) Fit();
}

void Label::Describe(Label* value)
{
    setBuddy(value);
    value->describedBy_ = this;
    value->SetCaption(value->Caption());
}

void Label::Fit()
{
    if (designWidth_ < 0) designWidth_ = width();
    const QFontMetrics metrics(font());
    const bool oneLine = height() < 2 * metrics.lineSpacing();
    setWordWrap(!oneLine);
    int fitted = designWidth_;
    if (oneLine && parentWidget()) {
        const int room = std::max(designWidth_, parentWidget()->width() - x());
        fitted = std::clamp(metrics.horizontalAdvance(Shown(caption_)) + 1, designWidth_, room);
    }
    resize(fitted, height());
}

void Label::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && designWidth_ >= 0) Fit();
}

Line::Line(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void Line::SetEnds(QPoint from, QPoint to)
{
    from_ = from;
    to_ = to;
    // The widget covers the line's bounding box, both end points included.
    setGeometry(QRect(from, to).normalized());
    update();
}

void Line::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(from_ - pos(), to_ - pos());
}

PictureBox::PictureBox(const QString& image, QWidget* parent) : QWidget(parent), picture_(image) {}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = kPictureBorder;
    frame.frameShape = QFrame::Panel;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    painter.drawPixmap(kPictureBorder, kPictureBorder, picture_);
}

}  // namespace corvane::platform
