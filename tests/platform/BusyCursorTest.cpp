#include <gtest/gtest.h>

#include <QApplication>

#include <stdexcept>

#include "platform/BusyCursor.h"

namespace corvane::platform {
namespace {

Qt::CursorShape OverrideShape()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

TEST(BusyCursor, ShowsForItsScopeAndIsRestoredAlsoWhenTheScopeThrows)
{
    {
        const BusyCursor busy;
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    EXPECT_THROW(
        {
            const BusyCursor busy;
            throw std::runtime_error("the operation failed");
        },
        std::runtime_error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(BusyCursor, NestedScopesRestoreWhatWasThereBefore)
{
    QApplication::setOverrideCursor(Qt::CrossCursor);
    {
        const BusyCursor busy;
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(OverrideShape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
}

}  // namespace
}  // namespace corvane::platform
