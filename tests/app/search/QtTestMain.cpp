#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

// Widgets need a QApplication; without a display the offscreen platform stands in.
// ctest's test discovery runs this program without the test environment, so the
// platform is chosen here.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
