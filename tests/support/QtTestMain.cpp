// main() for GoogleTest binaries that open real Qt windows. The tests run offscreen
// (QT_QPA_PLATFORM=offscreen, set by CTest) and drive the windows with QTest input.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/Desktop.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's title, as Corvane's own main() hands it over.
    corvane::platform::SetApplicationTitle(QStringLiteral("RaveVivazidezEraduzura"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
