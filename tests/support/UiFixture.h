// A fixture for tests of Corvane's windows: a program folder (with a blank in its name) and a
// data folder of their own, the data folder as the process's current folder, a fake desktop
// that answers message boxes, and every window unloaded afterwards.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>

#include <stdexcept>
#include <string>

#include "hosted/HostedInput.h"
#include "platform/FileList.h"
#include "platform/Files.h"
#include "platform/Form.h"
#include "support/FakeDesktop.h"
#include "support/TempDir.h"
#include "ui/shared/Jobs.h"

namespace corvane::testing {

inline QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The control `name` of `form` as a T. A missing one (a typo, or a control of another kind)
// fails the test through an exception that GoogleTest reports, never as a null pointer.
template <class T = QWidget>
T* Child(const platform::Form* form, const char* name)
{
    T* control = form ? form->Control<T>(QLatin1String(name)) : nullptr;
    if (!control) throw std::runtime_error(std::string("no control '") + name + "' of the expected kind");
    return control;
}

// A real click on the entry `name` of `list`, scrolled into view first.
inline void ClickEntry(platform::FileList* list, const QString& name)
{
    int row = -1;
    for (int i = 0; i < list->ListCount(); ++i) {
        if (list->List(i) == name) row = i;
    }
    ASSERT_GE(row, 0) << name.toStdString();
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(program);
        std::filesystem::create_directories(data);
        platform::SetProgramFolder(Q(program));
        savedCurrent_ = QDir::currentPath();
        QDir::setCurrent(Q(data));
    }

    void TearDown() override
    {
        if (CodingJob* job = Jobs::Running()) job->Cancel();
        EXPECT_TRUE(WorkEnded());
        for (const char* name : {"frmProgress", "frmAbout", "frmViewEncoded", "frmViewDecoded", "frmMain"}) {
            platform::UnloadForm(QLatin1String(name));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QDir::setCurrent(savedCurrent_);
        platform::SetProgramFolder({});
    }

    // A left click in the middle of `widget`, by real mouse input.
    static void Click(QWidget* widget)
    {
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }

    // A click that starts coding, then the wait for the work to end, whatever its outcome.
    static void ClickAndFinish(QWidget* widget)
    {
        Click(widget);
        ASSERT_TRUE(WorkEnded());
    }

    // Whether the work running has ended (or none runs) within a generous deadline.
    static bool WorkEnded() { return WaitFor([] { return !Jobs::Running(); }, 60000); }

    TempDir dir;
    FakeDesktop desktop;
    const std::filesystem::path program = dir.path() / "Program Files" / "Corvane";
    const std::filesystem::path data = dir.path() / "data";
    std::filesystem::path encoded() const { return program / "Encoded File(s)"; }
    std::filesystem::path decoded() const { return program / "Decoded File(s)"; }

private:
    QString savedCurrent_;
};

}  // namespace corvane::testing
