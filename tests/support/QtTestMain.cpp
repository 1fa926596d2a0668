#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

#ifdef KEL_TEST_PLATFORM_INIT
#include "baselib/platform/PlatformInit.h"
#endif

// Widgets need a QApplication; without a display the offscreen platform stands in. ctest's
// test discovery runs the program without the test environment, so the platform is chosen
// here. The display's resize reports are noise in the tests' output. Where the serial port
// logs, the process set-up gives its Russian lines a locale that prints them.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", QByteArray("default.debug=false"));
    QApplication application(argc, argv);
#ifdef KEL_TEST_PLATFORM_INIT
    const KelBase::KelPlatformInit platform(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
