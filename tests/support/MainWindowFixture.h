// The main window shown offscreen over a data folder that holds a.txt ("abc"), for the tests of
// what the window does. A fixture adds its own files in PrepareData, before the window lists
// the folder.
#pragma once

#include "support/UiFixture.h"
#include "ui/main/frmMain.h"

namespace corvane::testing {

class MainWindowUi : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        WriteBytes(data / "a.txt", {'a', 'b', 'c'});
        PrepareData();
        window = new frmMain;
        window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }

    virtual void PrepareData() {}

    template <class T = QWidget>
    T* Get(const char* name)
    {
        return Child<T>(window, name);
    }

    frmMain* window = nullptr;
};

}  // namespace corvane::testing
