// Top-level windows built from a layout table: one row per control, positions and sizes in
// twips, so that a reader can hold a window's table against its picture and a test can too.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Twips.h"

namespace corvane::platform {

struct FontChoice {
    QString face;
    double points = 8.25;
    bool bold = false;

    FontChoice Bold() const { return {face, points, true}; }
    FontChoice Sized(double newPoints) const { return {face, newPoints, bold}; }
};

// The window font: every window's own, and so every control's that names none of its own.
inline const FontChoice kWindowFont{QStringLiteral("MS Sans Serif"), 8.25, false};

struct StdFont;

// The font so described; a face this system lacks falls back to a metric-alike sans-serif.
QFont MakeFont(const FontChoice& font);
// The same font as a hosted control takes it.
StdFont ToStdFont(const FontChoice& font);

enum class ControlKind { Label, Frame, Line, Picture, DriveList, FolderList, FileList, Hosted };

constexpr int kNoTab = -1;  // a control the Tab key does not visit

// One control of a window's layout. Windows write their rows with the builders in `rows`
// below, each of which fills in only what its kind of control has; every other field keeps its
// default.
struct ControlRow {
    QString name;
    ControlKind kind = ControlKind::Label;
    QString caption{};   // a Label's or a Frame's
    QString image{};     // a Picture's image: a file or resource path
    TwipsRect place{};   // every kind but Line
    TwipsPoint from{};   // a Line's end points, both drawn
    TwipsPoint to{};
    int tabIndex = kNoTab;
    std::optional<FontChoice> font{};  // none: the window's font
    QString frame{};                 // the Frame that holds this control, if any
    std::function<QWidget*(QWidget* parent)> create{};  // makes a Hosted control

    // This row with a font of its own, or placed inside the Frame named `frameName`.
    ControlRow WithFont(const FontChoice& ownFont) &&;
    ControlRow In(const QString& frameName) &&;
};

namespace rows {
ControlRow Label(const QString& name, const QString& caption, TwipsRect place, int tabIndex = kNoTab);
ControlRow Frame(const QString& name, const QString& caption, TwipsRect place, int tabIndex = kNoTab);
ControlRow Line(const QString& name, TwipsPoint from, TwipsPoint to);
ControlRow Picture(const QString& name, const QString& image, TwipsRect place);
ControlRow DriveList(const QString& name, TwipsRect place, int tabIndex);
ControlRow FolderList(const QString& name, TwipsRect place, int tabIndex);
ControlRow FileList(const QString& name, TwipsRect place, int tabIndex);
ControlRow Hosted(const QString& name, TwipsRect place, int tabIndex,
                  std::function<QWidget*(QWidget* parent)> create);
}  // namespace rows

enum class BorderStyle {
    FixedSingle,      // fixed size, minimise and close boxes
    FixedToolWindow,  // small title bar with a close box only
    FixedDialog,      // fixed size, close box only
};

struct FormLayout {
    QString name;  // one instance per name in the process
    QString caption;
    BorderStyle border = BorderStyle::FixedSingle;
    int clientWidth = 0;  // twips
    int clientHeight = 0;
    std::optional<TwipsPoint> position{};  // from the screen's corner; none: default placement
    QString icon{};                        // file or resource path; empty: the application's icon
    FontChoice font = kWindowFont;
    std::vector<ControlRow> controls;
};

// A window made from a FormLayout. Subclasses pick their controls with Control<T>(name) and
// override Form_Load and Form_Unload.
class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(const FormLayout& layout);
    ~Form() override;

    // Runs Form_Load once, then shows the window modeless and without an owner; a window
    // that is already showing is only activated.
    void Show();
    // Runs Form_Unload, closes the window and deletes it. Doing so again while the window is
    // closing does nothing.
    void Unload();
    bool IsUnloading() const { return unloading_; }
    // Before the window is first shown: places it beside `anchor`'s frame, to its right or else
    // to its left, `row` of its own heights down from the anchor's top and kept on the anchor's
    // screen, so that neither covers the other. Where neither side has room, it goes to the side
    // with more, against the screen's edge, covering as little of the anchor as it can (left to
    // the system, it would open over the anchor's middle). Does nothing once the window has been
    // shown.
    void PlaceBeside(const QWidget* anchor, int row);
    BorderStyle Border() const { return border_; }
    // Takes files dropped onto the window from a file manager: a drag that carries a local file
    // is accepted, and `dropped` hears the local paths of the drop, in its order (folders among
    // them, for the window to refuse), once the drop's own events are over: a box it shows then
    // does not keep the program the files came from waiting for the drop to end. A drop that
    // carries no local file is refused. A window that does not call this takes no drops.
    void TakeFileDrops(std::function<void(const QStringList& paths)> dropped);

    template <class T = QWidget>
    T* Control(const QString& name) const
    {
        return findChild<T*>(name);
    }

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Place(const FormLayout& layout);
    void BuildControls(const FormLayout& layout);
    void SetTabOrder(const FormLayout& layout);

    QString name_;
    BorderStyle border_;
    std::optional<TwipsPoint> position_;
    std::optional<QPoint> besidePosition_;  // the frame's, from PlaceBeside
    QWidget* firstFocus_ = nullptr;
    bool loaded_ = false;
    bool unloading_ = false;
    std::function<void(const QStringList& paths)> dropped_;
};

// The one loaded window of this name, or null.
Form* FindForm(const QString& name);

// The one window of this name, created with `create` on first use, then shown (Form::Show).
template <class T>
T* ShowForm(const QString& name, const std::function<T*()>& create)
{
    T* form = static_cast<T*>(FindForm(name));
    if (!form) form = create();
    form->Show();
    return form;
}

// Unloads the window of this name if it is loaded.
void UnloadForm(const QString& name);

// A typed handle on the one window of a kind: windows find and unload each other through it,
// never through a name written out where it is used.
template <class T>
class FormHandle {
public:
    explicit FormHandle(QString name) : name_(std::move(name)) {}
    // The window while it is loaded, else null.
    T* Find() const { return qobject_cast<T*>(FindForm(name_)); }
    // Unloads the window if it is loaded.
    void Unload() const { UnloadForm(name_); }
    const QString& Name() const { return name_; }

private:
    QString name_;
};

}  // namespace corvane::platform
