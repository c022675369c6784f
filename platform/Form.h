// Top-level windows built from a layout table: one row per control, positions and sizes in
// twips, so that a window's layout reads like its design and a test can hold it against it.
#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace corvane::platform {

struct FontSpec {
    QString face;
    double points = 8.25;
    bool bold = false;
};

// The font so described; a face this system lacks falls back to a metric-alike sans-serif.
QFont MakeFont(const FontSpec& font);

enum class ControlKind { Label, Frame, Line, Picture, DriveList, FolderList, FileList, Hosted };

struct ControlRow {
    QString name;
    ControlKind kind = ControlKind::Label;
    QString text;  // a caption; for a Picture the image's file or resource path
    // Twips from the top-left corner of the client area (or of the holding frame). A Line runs
    // from (left, top) to (width, height): the last two are its end point, not a size.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tabIndex = -1;  // -1: not in the tab order
    std::optional<FontSpec> font;  // none: the window's font
    QString container;             // the Frame that holds this control, if any
    std::function<QWidget*(QWidget* parent)> create;  // makes a Hosted control
};

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
    std::optional<QPoint> position;  // twips from the screen's corner; none: default placement
    QString icon;                    // file or resource path; empty: the application's icon
    FontSpec font{QStringLiteral("MS Sans Serif"), 8.25, false};
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

    template <class T = QWidget>
    T* Control(const QString& name) const
    {
        return findChild<T*>(name);
    }

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    void closeEvent(QCloseEvent* event) override;

private:
    void Place(const FormLayout& layout);
    void BuildControls(const FormLayout& layout);
    void SetTabOrder(const FormLayout& layout);

    QString name_;
    std::optional<QPoint> position_;
    QWidget* firstFocus_ = nullptr;
    bool loaded_ = false;
    bool unloading_ = false;
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

}  // namespace corvane::platform
