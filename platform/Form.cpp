#include "platform/Form.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QUrl>

#include <algorithm>

#include "platform/Accessibility.h"
#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/Files.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "platform/Twips.h"
#include "platform/hosted/StdFont.h"

namespace corvane::platform {

namespace {

QHash<QString, QPointer<Form>>& Registry()
{
    static QHash<QString, QPointer<Form>> forms;
    return forms;
}

Qt::WindowFlags FlagsFor(BorderStyle border)
{
    const Qt::WindowFlags common =
        Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    switch (border) {
    case BorderStyle::FixedSingle:
        return Qt::Window | common | Qt::WindowMinimizeButtonHint;
    case BorderStyle::FixedToolWindow:
        return Qt::Tool | common;
    case BorderStyle::FixedDialog:
        return Qt::Dialog | common;
    }
    return Qt::Window | common;
}

QWidget* MakeControl(const ControlRow& row, QWidget* parent)
{
    switch (row.kind) {
    case ControlKind::Label:
        return new Label(row.caption, parent);
    case ControlKind::Frame:
        return new Frame(row.caption, parent);
    case ControlKind::Line:
        return new Line(parent);
    case ControlKind::Picture:
        return new PictureBox(row.image, parent);
    case ControlKind::DriveList:
        return new DriveList(parent);
    case ControlKind::FolderList:
        return new FolderList(parent);
    case ControlKind::FileList:
        return new FileList(parent);
    case ControlKind::Hosted:
        return row.create ? row.create(parent) : new QWidget(parent);
    }
    return new QWidget(parent);
}

}  // namespace

QFont MakeFont(const FontChoice& font) { return ToQFont(ToStdFont(font)); }

StdFont ToStdFont(const FontChoice& font) { return StdFont{font.face, font.points, font.bold ? 700 : 400, 0}; }

ControlRow ControlRow::WithFont(const FontChoice& ownFont) &&
{
    font = ownFont;
    return std::move(*this);
}

ControlRow ControlRow::In(const QString& frameName) &&
{
    frame = frameName;
    return std::move(*this);
}

namespace rows {

ControlRow Label(const QString& name, const QString& caption, TwipsRect place, int tabIndex)
{
    return {.name = name, .kind = ControlKind::Label, .caption = caption, .place = place, .tabIndex = tabIndex};
}

ControlRow Frame(const QString& name, const QString& caption, TwipsRect place, int tabIndex)
{
    return {.name = name, .kind = ControlKind::Frame, .caption = caption, .place = place, .tabIndex = tabIndex};
}

ControlRow Line(const QString& name, TwipsPoint from, TwipsPoint to)
{
    return {.name = name, .kind = ControlKind::Line, .from = from, .to = to};
}

ControlRow Picture(const QString& name, const QString& image, TwipsRect place)
{
    return {.name = name, .kind = ControlKind::Picture, .image = image, .place = place};
}

ControlRow DriveList(const QString& name, TwipsRect place, int tabIndex)
{
    return {.name = name, .kind = ControlKind::DriveList, .place = place, .tabIndex = tabIndex};
}

ControlRow FolderList(const QString& name, TwipsRect place, int tabIndex)
{
    return {.name = name, .kind = ControlKind::FolderList, .place = place, .tabIndex = tabIndex};
}

ControlRow FileList(const QString& name, TwipsRect place, int tabIndex)
{
    return {.name = name, .kind = ControlKind::FileList, .place = place, .tabIndex = tabIndex};
}

ControlRow Hosted(const QString& name, TwipsRect place, int tabIndex, std::function<QWidget*(QWidget* parent)> create)
{
    return {.name = name, .kind = ControlKind::Hosted, .place = place, .tabIndex = tabIndex, .create = std::move(create)};
}

}  // namespace rows

Form::Form(const FormLayout& layout)
    : QWidget(nullptr, FlagsFor(layout.border)), name_(layout.name), border_(layout.border)
{
    InstallPlatformAccessibility();
    setObjectName(layout.name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(layout.caption);
    if (!layout.icon.isEmpty()) setWindowIcon(QIcon(layout.icon));
    setFont(MakeFont(layout.font));
    setFixedSize(TwipsToPixels(layout.clientWidth), TwipsToPixels(layout.clientHeight));
    position_ = layout.position;
    BuildControls(layout);
    SetTabOrder(layout);
    Registry().insert(name_, this);
}

Form::~Form()
{
    auto& forms = Registry();
    if (forms.value(name_) == this || forms.value(name_).isNull()) forms.remove(name_);
}

void Form::BuildControls(const FormLayout& layout)
{
    for (const ControlRow& row : layout.controls) {
        QWidget* parent = row.frame.isEmpty() ? this : Control(row.frame);
        QWidget* control = MakeControl(row, parent ? parent : this);
        control->setObjectName(row.name);
        if (row.font) control->setFont(MakeFont(*row.font));
        if (row.kind == ControlKind::Line) {
            static_cast<Line*>(control)->SetEnds(TwipsToPixels(row.from), TwipsToPixels(row.to));
        } else {
            control->setGeometry(TwipsToPixels(row.place));
        }
        if (auto* label = qobject_cast<Label*>(control)) label->Fit();
    }
}

void Form::SetTabOrder(const FormLayout& layout)
{
    std::vector<const ControlRow*> rows;
    for (const ControlRow& row : layout.controls) {
        if (row.tabIndex >= 0) rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    QWidget* previous = nullptr;
    for (const ControlRow* row : rows) {
        QWidget* control = Control(row->name);
        if (!control || control->focusPolicy() == Qt::NoFocus) continue;
        if (previous) QWidget::setTabOrder(previous, control);
        if (!firstFocus_) firstFocus_ = control;
        previous = control;
    }
}

void Form::Show()
{
    if (unloading_) return;
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
        if (position_) {
            setGeometry(QRect(TwipsToPixels(*position_), size()));
        } else if (besidePosition_) {
            move(*besidePosition_);
        }
        if (firstFocus_) firstFocus_->setFocus(Qt::OtherFocusReason);
    }
    if (isVisible()) {
        if (isMinimized()) showNormal();
        raise();
        activateWindow();
        return;
    }
    show();
    activateWindow();
}

void Form::PlaceBeside(const QWidget* anchor, int row)
{
    if (loaded_ || !anchor || !anchor->isVisible() || !anchor->screen()) return;
    const QRect room = anchor->screen()->availableGeometry();
    const QRect beside = anchor->frameGeometry();
    // Not shown yet, this window has no frame: its frame is taken to be as thick as the anchor's.
    const QSize frame = size() + (anchor->frameGeometry().size() - anchor->size());
    constexpr int kGap = 8;
    const int right = beside.right() + 1 + kGap;
    const int left = beside.left() - kGap - frame.width();
    int x = 0;
    if (right + frame.width() <= room.right() + 1) {
        x = right;
    } else if (left >= room.left()) {
        x = left;
    } else if (room.right() - beside.right() > beside.left() - room.left()) {
        x = room.right() + 1 - frame.width();
    } else {
        x = room.left();
    }
    const int y = std::max(room.top(), std::min(beside.top() + row * frame.height(), room.bottom() + 1 - frame.height()));
    besidePosition_ = QPoint(x, y);
}

void Form::Unload()
{
    if (unloading_) return;
    unloading_ = true;
    Form_Unload();
    hide();
    Registry().remove(name_);
    deleteLater();
}

void Form::closeEvent(QCloseEvent* event)
{
    event->accept();
    Unload();
}

Form* FindForm(const QString& name) { return Registry().value(name).data(); }

void UnloadForm(const QString& name)
{
    if (Form* form = FindForm(name)) form->Unload();
}

namespace {

// Asked for every move of a drag over a window: the first local file answers.
bool CarriesFiles(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls()) return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

QStringList DroppedPaths(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << LocalPath(url);
    }
    return paths;
}

}  // namespace

void Form::TakeFileDrops(std::function<void(const QStringList& paths)> dropped)
{
    dropped_ = std::move(dropped);
    setAcceptDrops(static_cast<bool>(dropped_));
}

void Form::dragEnterEvent(QDragEnterEvent* event)
{
    if (dropped_ && CarriesFiles(event->mimeData())) event->acceptProposedAction();
}

void Form::dragMoveEvent(QDragMoveEvent* event)
{
    if (dropped_ && CarriesFiles(event->mimeData())) event->acceptProposedAction();
}

void Form::dropEvent(QDropEvent* event)
{
    const QStringList paths = dropped_ ? DroppedPaths(event->mimeData()) : QStringList{};
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        this, [this, paths] { if (dropped_) dropped_(paths); }, Qt::QueuedConnection);
}

}  // namespace corvane::platform
