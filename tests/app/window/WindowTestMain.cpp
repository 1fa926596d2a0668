#include "baselib/platform/PlatformInit.h"

#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

// Widgets need a QApplication; without a display the offscreen platform stands in. ctest's
// test discovery runs this program without the test environment, so the platform is chosen
// here. The display's resize reports are noise in the tests' output; the process set-up gives
// the port's log lines a locale that prints them.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", QByteArray("default.debug=false"));
    QApplication application(argc, argv);
    const KelBase::KelPlatformInit platform(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
