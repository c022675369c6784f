// Corvane's windows as a screen reader sees them through Qt's accessibility interfaces: names,
// roles, relations, actions and events, on real windows opened offscreen.
#include <QAccessible>
#include <QGroupBox>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/DriveList.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/SimpleControls.h"
#include "support/MainWindowFixture.h"
#include "ui/about/frmAbout.h"
#include "ui/main/frmMain.h"
#include "ui/viewers/FolderViewer.h"

namespace corvane {
namespace {

using testing::Q;

QAccessibleInterface* Accessible(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    if (!iface) throw std::runtime_error("no accessible interface for " + object->objectName().toStdString());
    return iface;
}

class Accessibility : public testing::MainWindowUi {
protected:
    void PrepareData() override { std::filesystem::create_directories(data / "inner"); }

    void SelectFile(const QString& name)
    {
        auto* list = Get<platform::FileList>("FileListBox");
        for (int row = 0; row < list->ListCount(); ++row) {
            if (list->List(row) == name) list->SetListIndex(row);
        }
        ASSERT_EQ(list->FileName(), name);
    }
};

TEST_F(Accessibility, WindowsReportAFrameOrADialogByTheirTitle)
{
    const struct {
        std::function<QWidget*()> open;
        const char* title;
        QAccessible::Role role;
    } cases[] = {
        {[this] { return window; }, "Corvane - File Encoder/Decoder", QAccessible::Window},
        {[] { return FolderViewer::ShowEncoded(); }, "Encoded File(s)", QAccessible::Dialog},
        {[] { return FolderViewer::ShowDecoded(); }, "Decoded File(s)", QAccessible::Dialog},
        {[] { return frmAbout::ShowAbout(); }, "About", QAccessible::Dialog},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        QAccessibleInterface* iface = Accessible(c.open());
        EXPECT_EQ(iface->role(), c.role);
        EXPECT_EQ(iface->text(QAccessible::Name), c.title);
    }
}

TEST_F(Accessibility, EveryListIsNamedAfterWhatItHolds)
{
    FolderViewer* encoded = FolderViewer::ShowEncoded();
    FolderViewer* decoded = FolderViewer::ShowDecoded();
    const struct {
        QWidget* list;
        const char* name;
        QAccessible::Role role;
    } cases[] = {
        {Get("Drivelistbox"), "Drive", QAccessible::ComboBox},
        {Get("Dirlistbox"), "Folders", QAccessible::Tree},
        {Get("FileListBox"), "Files", QAccessible::List},
        {testing::Child(encoded, "File1"), "Encoded files", QAccessible::List},
        {testing::Child(decoded, "File1"), "Decoded files", QAccessible::List},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QAccessibleInterface* iface = Accessible(c.list);
        EXPECT_EQ(iface->text(QAccessible::Name), c.name);
        EXPECT_EQ(iface->role(), c.role);
    }

    // The drive list's value is the drive it shows, and its action opens the list of drives.
    auto* drives = Get<platform::DriveList>("Drivelistbox");
    QAccessibleInterface* drive = Accessible(drives);
    EXPECT_EQ(drive->text(QAccessible::Value), drives->currentText());
    ASSERT_TRUE(drive->actionInterface());
    drive->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return drives->view()->isVisible(); }));
    drives->hidePopup();
}

TEST_F(Accessibility, TheFolderListIsATreeWhoseEntriesTellTheirLevelAndOpen)
{
    auto* folders = Get<platform::FolderList>("Dirlistbox");
    QAccessibleInterface* tree = Accessible(folders);
    ASSERT_EQ(tree->childCount(), folders->count());
    // The root, then every folder down to data.
    const auto below = data.relative_path();
    const int chain = 1 + static_cast<int>(std::distance(below.begin(), below.end()));
    for (int row = 0; row < tree->childCount(); ++row) {
        QAccessibleInterface* entry = tree->child(row);
        ASSERT_TRUE(entry) << row;
        SCOPED_TRACE(entry->text(QAccessible::Name).toStdString());
        EXPECT_EQ(entry->role(), QAccessible::TreeItem);
        EXPECT_EQ(entry->text(QAccessible::Name), folders->item(row)->text());
        EXPECT_EQ(tree->indexOfChild(entry), row);
        EXPECT_EQ(entry->parent(), tree);
        const bool onPath = row < chain;
        EXPECT_EQ(entry->text(QAccessible::Description), QString("level %1").arg(onPath ? row + 1 : chain + 1));
        EXPECT_EQ(entry->state().expanded, onPath);
        EXPECT_EQ(entry->state().selected, row == chain - 1);
    }

    // "Open" opens the entry as a double click does, once the call has returned.
    const int inner = folders->row(folders->findItems("inner", Qt::MatchExactly).value(0));
    ASSERT_GE(inner, chain);
    QAccessibleActionInterface* actions = tree->child(inner)->actionInterface();
    ASSERT_TRUE(actions);
    EXPECT_TRUE(actions->actionNames().contains(platform::kOpenAction));
    actions->doAction(platform::kOpenAction);
    EXPECT_TRUE(QTest::qWaitFor([&] { return folders->Path() == Q(data / "inner"); }));
    EXPECT_EQ(Get<platform::FileList>("FileListBox")->Path(), Q(data / "inner"));
    EXPECT_EQ(tree->child(chain)->text(QAccessible::Description), QString("level %1").arg(chain + 1));
}

TEST_F(Accessibility, DetailsCaptionsLabelTheirValuesAndAnEmptyValueSaysSo)
{
    const struct {
        const char* value;
        const char* caption;
        const char* startName;  // the value's name at start-up
    } cases[] = {
        {"Label6", "Path:", "NO FILE SELECTED"}, {"filename", "FileName:", "NO FILE SELECTED"},
        {"size", "Size:", "0"},                  {"date", "Date:", "0/0/0"},
        {"attr", "File Attributes:", "File Attributes empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        QAccessibleInterface* value = Accessible(Get(c.value));
        EXPECT_EQ(value->text(QAccessible::Name), c.startName);
        // The caption comes first; a value inside the details frame has the frame as a label too.
        const auto labels = value->relations(QAccessible::Label);
        ASSERT_FALSE(labels.isEmpty());
        EXPECT_EQ(labels.first().first->text(QAccessible::Name), c.caption);
    }
}

TEST_F(Accessibility, TheDetailsPanelDescribesTheSelectedFile)
{
    QAccessibleInterface* panel = Accessible(Get<QGroupBox>("Frame1"));
    SelectFile("a.txt");
    EXPECT_TRUE(panel->text(QAccessible::Description).startsWith("a.txt, 3 bytes, "));
#ifdef _WIN32
    EXPECT_TRUE(panel->text(QAccessible::Description).endsWith(", Archive"));  // a new file on Windows
#else
    EXPECT_TRUE(panel->text(QAccessible::Description).endsWith(", Normal"));
#endif
    EXPECT_EQ(Accessible(Get("filename"))->text(QAccessible::Name), "a.txt");

    // Nothing selected: the name says it is empty, and the panel says so.
    Get<platform::FileList>("FileListBox")->SetListIndex(-1);
    EXPECT_EQ(Accessible(Get("filename"))->text(QAccessible::Name), "FileName empty");
    EXPECT_EQ(panel->text(QAccessible::Description), "No file selected");
}

// Records the events the windows raise, as the platform's bridge would receive them. Offscreen,
// Qt drops every event unless its platform accessibility is switched on, which only Qt's own
// platform interface can do.
class AccessibilityEvents {
public:
    AccessibilityEvents()
    {
        platform_ = QGuiApplicationPrivate::platformIntegration()->accessibility();
        if (!platform_) return;
        platform_->setActive(true);
        Recorder() = this;
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            Recorder()->seen_.emplace_back(event->object(), event->type());
        });
    }
    ~AccessibilityEvents()
    {
        QAccessible::installUpdateHandler(nullptr);
        Recorder() = nullptr;
        if (platform_) platform_->setActive(false);
    }
    bool Available() const { return platform_ != nullptr; }
    bool Saw(QObject* object, QAccessible::Event type) const
    {
        return std::find(seen_.begin(), seen_.end(), std::pair(object, type)) != seen_.end();
    }
    void Clear() { seen_.clear(); }

private:
    static AccessibilityEvents*& Recorder()
    {
        static AccessibilityEvents* recorder = nullptr;
        return recorder;
    }
    QPlatformAccessibility* platform_ = nullptr;
    std::vector<std::pair<QObject*, QAccessible::Event>> seen_;
};

TEST_F(Accessibility, AChangeOfFileIsAnnouncedByThePanelAndItsValues)
{
    AccessibilityEvents events;
    if (!events.Available()) GTEST_SKIP() << "this platform plugin has no accessibility to switch on";
    QGroupBox* panel = Get<QGroupBox>("Frame1");
    SelectFile("a.txt");
    EXPECT_TRUE(events.Saw(panel, QAccessible::DescriptionChanged));
    EXPECT_TRUE(events.Saw(Get("filename"), QAccessible::NameChanged));
    EXPECT_TRUE(events.Saw(Get("size"), QAccessible::NameChanged));

    events.Clear();
    Get<platform::FileList>("FileListBox")->SetListIndex(-1);
    EXPECT_TRUE(events.Saw(panel, QAccessible::DescriptionChanged));
    EXPECT_TRUE(events.Saw(Get("filename"), QAccessible::NameChanged));
}

}  // namespace
}  // namespace corvane
