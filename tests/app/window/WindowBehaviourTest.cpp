// The main window on its own: thread events, menus, language, settings, small windows.

#include "tests/app/window/WindowFixture.h"

#include "app/keypad/QOInputDevice.h"
#include "app/log/QOProofSettings.h"
#include "app/window/DeviceSettings.h"
#include "app/window/PanelScreens.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

namespace WindowTest {
namespace {

using WindowBehaviourTest = WindowFixture;

struct EventCase {
    const char* name;
    int code;
    const char* text;
    bool reports;          // error reports switched on
    QStringList logged;    // log lines, in order
    QString statusMessage; // empty: none
    int warnings;
};

TEST_F(WindowBehaviourTest, ThreadEventsGoWhereTheirCodeSays)
{
    const QString broken = QStringLiteral(
        "Устройство не отвечает, соединение разорвано! \n (Проверьте кабель и повторите попытку соединения).");
    const std::vector<EventCase> cases{
        {"exception", 0, "COM9: нет порта", true, {"Ошибка: COM9: нет порта", "COM9: нет порта"}, "COM9: нет порта", 1},
        {"exception, reports off", 0, "COM9: нет порта", false, {"Ошибка: COM9: нет порта"}, {}, 1},
        {"silent device", 1, "Общение прервано по неизвестным причинам.", true,
         {broken, "Общение прервано по неизвестным причинам."}, "Общение прервано по неизвестным причинам.", 1},
        {"silent device, reports off", 1, "Идентификация - неудача.", false, {broken}, {}, 1},
        {"stopped", 6, "", true, {"Устройство отключено пользователем."}, {}, 0},
        {"console on", 7, "Консоль включена.", true, {"ПУ включена.", "Консоль включена."}, "Консоль включена.", 0},
        {"console on, reports off", 7, "Консоль включена.", false, {"ПУ включена."}, {}, 0},
        {"console off", 8, "Консоль выключена.", true, {"Консоль выключена."}, "Консоль выключена.", 0},
        {"device identified", 10, "Прибор, версия ПО - 1.2", true, {"Прибор, версия ПО - 1.2"},
         "Прибор, версия ПО - 1.2", 0},
        {"device identified, reports off", 10, "Прибор, версия ПО - 1.2", false, {"Прибор, версия ПО - 1.2"}, {}, 0},
        {"diagnostics", 9, "Идентификация - удачно.", true, {"Идентификация - удачно."}, "Идентификация - удачно.", 0},
        {"diagnostics, reports off", 9, "Идентификация - удачно.", false, {}, {}, 0},
        {"sound on", 12, "Звук вкл.", true, {}, {}, 0},
        {"sound off", 13, "Звук выкл.", true, {}, {}, 0},
    };
    for (const EventCase& c : cases) {
        SCOPED_TRACE(c.name);
        controller.reset();
        warnings.clear();
        QORemoteController& panel = window();
        if (!c.reports)
            panel.ui().actionDisableReports->trigger();
        panel.alarm(c.code, QString::fromUtf8(c.text));
        EXPECT_EQ(logTexts(), c.logged);
        EXPECT_EQ(panel.statusBar()->currentMessage(), c.statusMessage);
        EXPECT_EQ(warnings.size(), c.warnings);
    }
}

TEST_F(WindowBehaviourTest, ScreensAndLabelsFollowTheEvents)
{
    QORemoteController& panel = window();
    panel.alarm(10, QStringLiteral("Прибор, версия ПО - 1.2"));
    EXPECT_EQ(panel.ui().deviceLabel->text(), QStringLiteral("Прибор, версия ПО - 1.2"));
    EXPECT_TRUE(panel.ui().deviceLabel->isVisible());
    EXPECT_FALSE(panel.ui().statusLabel->isVisible());

    panel.alarm(8, QStringLiteral("Консоль выключена."));
    const PanelScreens::Screen off = PanelScreens::panelOff(false);
    for (int row = 0; row < PanelScreens::rows; ++row)
        EXPECT_EQ(displayRow(row), off[row]) << row;
    panel.alarm(7, QStringLiteral("Консоль включена."));
    for (int row = 0; row < PanelScreens::rows; ++row)
        EXPECT_EQ(displayRow(row), QByteArray(20, ' ')) << row;

    panel.alarm(0, QStringLiteral("сбой"));
    EXPECT_FALSE(panel.ui().deviceLabel->isVisible());
    EXPECT_TRUE(panel.ui().statusLabel->isVisible());
    EXPECT_EQ(displayRow(0), PanelScreens::welcome(false)[0]);
    EXPECT_EQ(warnings.value(0), qMakePair(QStringLiteral("Ошибка"), QStringLiteral("Ошибка: сбой")));
}

TEST_F(WindowBehaviourTest, DisabledSoundKeepsTheAlarmQuiet)
{
    QORemoteController& panel = window();
    panel.ui().actionDisableSound->trigger();
    EXPECT_FALSE(panel.soundEnabled());
    panel.alarm(12);
    EXPECT_TRUE(panel.soundIcon()->pixmap().isNull());
    panel.ui().actionDisableSound->trigger();
    panel.alarm(12);
    EXPECT_FALSE(panel.soundIcon()->pixmap().isNull());
    // Muting while it sounds does not stop it; only the device's "sound off" does.
    panel.ui().actionDisableSound->trigger();
    EXPECT_FALSE(panel.soundIcon()->pixmap().isNull());
    panel.alarm(13);
    EXPECT_TRUE(panel.soundIcon()->pixmap().isNull());
}

TEST_F(WindowBehaviourTest, MenusInOrderWithSomeItemsHiddenAfterTheFirstShow)
{
    QORemoteController& panel = window();
    QStringList titles;
    for (QAction* action : panel.menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{"Файл", "Дисплей", "Настройки", "Помощь"}));
    EXPECT_FALSE(panel.ui().menuDisplay->menuAction()->isVisible());
    EXPECT_FALSE(panel.ui().actionShowLog->isVisible());
    EXPECT_FALSE(panel.ui().actionAdditionalSettings->isVisible());
    EXPECT_TRUE(panel.ui().actionRussian->isChecked());
    EXPECT_FALSE(panel.ui().keypad->statusNumpad()) << "the numeric block starts hidden";
    EXPECT_EQ(panel.ui().actionExpertSettings->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));

    panel.ui().actionExpertSettings->trigger();
    EXPECT_TRUE(panel.ui().menuDisplay->menuAction()->isVisible());
    EXPECT_TRUE(panel.ui().actionShowLog->isVisible());
    EXPECT_TRUE(panel.ui().actionAdditionalSettings->isVisible());
}

TEST_F(WindowBehaviourTest, LanguageSwitchRetranslatesAndRewritesTheWelcomeScreen)
{
    QORemoteController& panel = window();
    panel.ui().actionEnglish->trigger();
    EXPECT_EQ(panel.language(), 1);
    // Qt posts the language change to every window.
    EXPECT_TRUE(waitFor([&] { return panel.windowTitle().startsWith(QStringLiteral("Velidar 1.0")); }));
    EXPECT_EQ(panel.ui().menuFile->title(), QStringLiteral("File"));
    EXPECT_EQ(panel.ui().statusLabel->text(), QStringLiteral("Device not connect"));
    for (int row = 0; row < PanelScreens::rows; ++row)
        EXPECT_EQ(displayRow(row), PanelScreens::welcome(true)[row]) << row;
    EXPECT_FALSE(panel.isConnected()) << "no connection, nothing to restart";

    panel.ui().actionRussian->trigger();
    EXPECT_EQ(panel.language(), 0);
    EXPECT_TRUE(waitFor([&] { return panel.windowTitle().startsWith(QStringLiteral("Велидар 1.0")); }));
    EXPECT_EQ(displayRow(0), PanelScreens::welcome(false)[0]);
}

TEST_F(WindowBehaviourTest, SettingsWithoutIdentificationAndWithoutStoredValues)
{
    QORemoteController& panel = window();
    panel.saveSizePos();
    {
        const auto settings = DeviceSettings::open();
        EXPECT_TRUE(settings->childGroups().contains(QStringLiteral("0"))) << "saved before any device: group 0";
    }
    // A device kind never seen before keeps sound and reports on and the numeric block hidden.
    panel.readSizePos(42);
    EXPECT_EQ(panel.settingsDevice(), 42);
    EXPECT_TRUE(panel.soundEnabled());
    EXPECT_TRUE(panel.errorReportsEnabled());
    EXPECT_FALSE(panel.ui().keypad->statusNumpad());
    EXPECT_TRUE(logHas(QStringLiteral("Виртуальная клавиатура выключена")));
}

TEST_F(WindowBehaviourTest, StoredValuesOnlyCountWhenTheyAreExactlyTheOtherWay)
{
    {
        const auto settings = DeviceSettings::open();
        settings->beginGroup(QStringLiteral("5"));
        settings->setValue("Sound", QStringLiteral("maybe"));
        settings->setValue("NumPad", QStringLiteral("false"));
        settings->setValue("geometry", QRect(QPoint(50, 40), QPoint(10, 10)));
    }
    const DeviceSettings read = DeviceSettings::read(5);
    EXPECT_TRUE(read.sound);
    EXPECT_TRUE(read.alarmMessage);
    EXPECT_FALSE(read.numPad);
    QORemoteController& panel = window();
    const QRect before = panel.geometry();
    panel.readSizePos(5);
    EXPECT_EQ(panel.geometry().topLeft(), before.topLeft()) << "an inverted rectangle is not applied";
}

TEST_F(WindowBehaviourTest, LineTimingComesFromTheSettingsDialogToTheNextConnection)
{
    QORemoteController& panel = window();
    EXPECT_EQ(panel.writeInterval(), 20);
    panel.ui().actionAdditionalSettings->setVisible(true);
    panel.ui().actionAdditionalSettings->trigger();
    EXPECT_TRUE(panel.settingsDialog()->isVisible());
    EXPECT_EQ(panel.settingsDialog()->writeIntervalMs(), 20);
    panel.settingsDialog()->setWriteIntervalMs(0);
    panel.settingsDialog()->applyClick();
    EXPECT_EQ(panel.writeInterval(), 0);

    // The dialog shows what the next connection gets; the next connection gets what it proposes.
    panel.ui().actionAdditionalSettings->trigger();
    EXPECT_EQ(panel.settingsDialog()->requestPauseMs(), 1);
    EXPECT_FALSE(panel.settingsDialog()->intervalAfterReply());
    panel.settingsDialog()->setWriteIntervalMs(25);
    panel.settingsDialog()->setRequestPauseMs(7);
    panel.settingsDialog()->setIntervalAfterReply(true);
    panel.settingsDialog()->applyClick();
    connectWindow();
    ASSERT_NE(panel.transmissionThread(), nullptr);
    const VPanel::Panel::LinkParameters used = panel.transmissionThread()->linkParameters({});
    EXPECT_EQ(used.writeInterval, 25ms);
    EXPECT_EQ(used.requestPause, 7ms);
    EXPECT_TRUE(used.intervalAfterReply);
}

TEST_F(WindowBehaviourTest, AboutBoxNamesTheProduct)
{
    QORemoteController& panel = window();
    panel.ui().actionAbout->trigger();
    ASSERT_EQ(informations.size(), 1);
    EXPECT_EQ(informations[0].first, QStringLiteral("О программе"));
    EXPECT_TRUE(informations[0].second.startsWith(QStringLiteral("\"Велидар v 1.0\"\n\n")));
}

} // namespace
} // namespace WindowTest
