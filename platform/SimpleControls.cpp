#include "platform/SimpleControls.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <QStyle>
#include <QStyleOptionFrame>

#include "platform/Files.h"
#include "platform/TextWrap.h"

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
    AlignAsWindow();
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    SetCaption(caption);
}

void Label::SetCaption(const QString& caption)
{
    caption_ = caption;
    if (caption.isEmpty() && describedBy_) {
        QString name = describedBy_->Caption();
        if (name.endsWith(QLatin1Char(':'))) name.chop(1);
        setAccessibleName(name + QStringLiteral(" empty"));
    } else {
        setAccessibleName(Shown(caption));
    }
    if (layoutWidth_ >= 0) {
        Fit();
    } else {
        setText(Breakable(Shown(caption)));
    }
}

void Label::Describe(Label* value)
{
    setBuddy(value);
    value->describedBy_ = this;
    value->SetCaption(value->Caption());
}

void Label::Fit()
{
    if (layoutWidth_ < 0) layoutWidth_ = width();
    const QFontMetrics metrics(font());
    const bool oneLine = height() < 2 * metrics.lineSpacing();
    setWordWrap(!oneLine);
    int fitted = layoutWidth_;
    if (oneLine && parentWidget()) {
        const int room = std::max(layoutWidth_, parentWidget()->width() - x());
        fitted = std::clamp(metrics.horizontalAdvance(Shown(caption_)) + 1, layoutWidth_, room);
    }
    resize(fitted, height());
    ShowWholeLines();
}

void Label::ShowWholeLines()
{
    const QString shown = Breakable(Shown(caption_));
    QTextOption wrapping;
    wrapping.setWrapMode(wordWrap() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    QTextLayout layout(shown, font());
    layout.setTextOption(wrapping);
    layout.beginLayout();
    QStringList lines;
    int lastStart = 0;
    // The label draws its lines a line spacing apart (the font's height where that is more):
    // the n-th line's bottom lies at (n - 1) spacings and one height.
    const QFontMetricsF metrics(font());
    const qreal spacing = std::max(metrics.lineSpacing(), metrics.height());
    bool cut = false;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width());
        const qreal bottom = static_cast<qreal>(lines.size()) * spacing + metrics.height();
        // The first line shows even in a label too low for it, as a label of one line does.
        if (!lines.isEmpty() && bottom > height()) {
            cut = true;
            break;
        }
        lastStart = line.textStart();
        lines << shown.mid(line.textStart(), line.textLength());
        if (line.naturalTextWidth() > width()) cut = true;  // a single line too long for the label
    }
    layout.endLayout();
    // The lines as laid out here, each within the width so that the label does not wrap them
    // again its own way; when the caption is cut, the last one holds the rest of it cut to the
    // width.
    if (cut) lines.back() = fontMetrics().elidedText(shown.mid(lastStart), Qt::ElideRight, width());
    setText(lines.join(QLatin1Char('\n')));
    setToolTip(cut ? WrappedToolTip(Shown(caption_)) : QString());
}

// A caption starts where the window's text starts, at the left (at the right in a right-to-left
// window), whatever its own direction: a label aligned by its text would put a name in Arabic or
// Hebrew at the right edge of a left-aligned window. The caption keeps its own direction inside.
void Label::AlignAsWindow()
{
    setAlignment(QStyle::visualAlignment(layoutDirection(), Qt::AlignLeft) | Qt::AlignTop);
}

void Label::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange) AlignAsWindow();
    if (event->type() == QEvent::FontChange && layoutWidth_ >= 0) Fit();
}

Frame::Frame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

int Frame::TopLine() const { return QFontMetrics(font()).height() / 2; }

void Frame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const int top = TopLine();
    const int right = width() - 1;
    const int bottom = height() - 1;
    // The outer rectangle sunken (shadow at the top and left), the inner one raised.
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(0, top, right - 1, top);
    painter.drawLine(0, top, 0, bottom - 1);
    painter.drawLine(right - 1, top + 1, right - 1, bottom - 1);
    painter.drawLine(1, bottom - 1, right - 1, bottom - 1);
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(1, top + 1, right - 2, top + 1);
    painter.drawLine(1, top + 1, 1, bottom - 2);
    painter.drawLine(right, top, right, bottom);
    painter.drawLine(0, bottom, right, bottom);
    if (title().isEmpty()) return;

    // The caption over the lines, with a pixel of the window's colour before and after it.
    const QFontMetrics metrics(font());
    const QRect caption(kCaptionLeft, 0, metrics.horizontalAdvance(title()), metrics.height());
    painter.fillRect(caption.adjusted(-1, 0, 1, 0), colours.color(QPalette::Window));
    painter.setPen(colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
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
