#include "platform/Form.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPointer>

#include <algorithm>

#include "platform/DriveList.h"
#include "platform/FileList.h"
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
        return new Label(row.text, parent);
    case ControlKind::Frame:
        return new QGroupBox(row.text, parent);
    case ControlKind::Line:
        return new Line(parent);
    case ControlKind::Picture:
        return new PictureBox(row.text, parent);
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

QFont MakeFont(const FontSpec& font)
{
    return ToQFont(StdFont{font.face, font.points, font.bold ? 700 : 400, 0});
}

Form::Form(const FormLayout& layout) : QWidget(nullptr, FlagsFor(layout.border)), name_(layout.name)
{
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
        QWidget* parent = row.container.isEmpty() ? this : Control(row.container);
        QWidget* control = MakeControl(row, parent ? parent : this);
        control->setObjectName(row.name);
        if (row.font) control->setFont(MakeFont(*row.font));
        if (row.kind == ControlKind::Line) {
            static_cast<Line*>(control)->SetEnds(QPoint(TwipsToPixels(row.left), TwipsToPixels(row.top)),
                                                 QPoint(TwipsToPixels(row.width), TwipsToPixels(row.height)));
        } else {
            control->setGeometry(TwipsToPixels(row.left, row.top, row.width, row.height));
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
            setGeometry(QRect(QPoint(TwipsToPixels(position_->x()), TwipsToPixels(position_->y())), size()));
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

}  // namespace corvane::platform
