// How a connection ends: the device falls silent, its port vanishes, the search or another
// language replaces it, the window closes.
#include "tests/app/window/WindowFixture.h"

#include "app/window/PanelScreens.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSoundEffect>
#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>

namespace WindowTest {
namespace {

using VPanel::Link::Key::F2;

constexpr std::uint16_t stopCommand = 0x0012;
constexpr std::uint16_t languageCommand = 0x0015;
constexpr std::uint16_t identificationCommand = 0x0000;

// Stands in for the device search: a window with the search's setParam signal.
class SearchStandIn : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

signals:
    void setParam(QString port, int address, int baud);
};

using ConnectionWindowTest = WindowFixture;

TEST_F(ConnectionWindowTest, OpeningTheSearchStopsTheConnectionAndItsChoiceStartsANewOne)
{
    connectWindow();
    QORemoteController& panel = window();
    QPointer<SearchStandIn> search;
    panel.setSearchWindowFactory([&search](QWidget* parent) { return search = new SearchStandIn(parent); });

    panel.ui().pushButton->click();
    ASSERT_TRUE(search);
    EXPECT_TRUE(search->isVisible());
    EXPECT_TRUE(search->isWindow());
    EXPECT_FALSE(panel.isConnected());
    EXPECT_TRUE(waitFor([&] { return requests(stopCommand) == 1; }));
    EXPECT_TRUE(waitFor([&] { return logHas(QStringLiteral("Устройство отключено пользователем.")); }));
    EXPECT_TRUE(waitFor([&] { return panel.transmissionThread() == nullptr; })) << "the finished thread was not freed";
    EXPECT_EQ(displayRow(1), PanelScreens::welcome(false)[1]);

    emit search->setParam(portName(), 1, baudRate);
    search->close();
    EXPECT_TRUE(panel.isConnected());
    // A loaded machine may have the new connection repeat its identification request.
    EXPECT_TRUE(waitFor([&] { return requests(identificationCommand) >= 2 && displayRow(3).startsWith("F1"); }, 10s));
}

TEST_F(ConnectionWindowTest, SilentDeviceEndsTheConnectionAfterAboutASecond)
{
    connectWindow();
    QORemoteController& panel = window();
    VPanel::Sim::Faults silence;
    silence.silentAfterRequests = 0;
    const auto silentFrom = std::chrono::steady_clock::now();
    simulator->setFaults(silence);

    ASSERT_TRUE(waitFor([&] { return !warnings.isEmpty(); }, 5s));
    const auto noticed = std::chrono::steady_clock::now() - silentFrom;
    RecordProperty("noticed_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(noticed).count()));
    EXPECT_GE(noticed, 900ms);
    EXPECT_LE(noticed, 2500ms);
    EXPECT_TRUE(warnings[0].first.startsWith(QStringLiteral("Ошибка — ")));
    EXPECT_TRUE(warnings[0].second.startsWith(QStringLiteral("Устройство не отвечает, соединение разорвано!")));
    EXPECT_TRUE(logHas(QStringLiteral("Общение прервано по неизвестным причинам.")));
    EXPECT_TRUE(panel.ui().statusLabel->isVisible());
    EXPECT_FALSE(panel.ui().deviceLabel->isVisible());
    EXPECT_EQ(displayRow(0), PanelScreens::welcome(false)[0]);
    EXPECT_TRUE(waitFor([&] { return panel.transmissionThread() == nullptr; }, 5s)) << "the finished thread was not freed";
    EXPECT_TRUE(portFree());

    // The link ended by itself: a change of language starts none.
    const std::uint64_t identifications = requests(identificationCommand);
    panel.ui().actionEnglish->trigger();
    EXPECT_FALSE(panel.isConnected());
    EXPECT_EQ(panel.transmissionThread(), nullptr);
    EXPECT_TRUE(waitFor([&] { return panel.windowTitle().startsWith(QStringLiteral("Velidar 1.0")); }));
    EXPECT_EQ(requests(identificationCommand), identifications);
}

TEST_F(ConnectionWindowTest, AVanishedPortEndsTheLinkAtOnceAndCtrlRConnectsAgain)
{
    connectWindow();
    QORemoteController& panel = window();
    EXPECT_FALSE(panel.ui().actionReconnect->isEnabled());
    const std::string port = simulator->portName();
    // When the worker reports the end, before the window has drawn its screens.
    std::atomic<std::chrono::steady_clock::time_point> ended{};
    QObject::connect(panel.transmissionThread(), &QOTransmissionThread::alarm, [&ended](int code, const QString&) {
        if (code == 0)
            ended = std::chrono::steady_clock::now();
    });
    simulator.reset(); // the pty's other side closes, as when an adapter is pulled out
    const auto vanished = std::chrono::steady_clock::now();

    ASSERT_TRUE(waitFor([&] { return !warnings.isEmpty(); }, 5s));
    const auto noticed = ended.load() - vanished;
    RecordProperty("noticed_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(noticed).count()));
    // A few milliseconds on an idle machine; a link that went on asking for its second and then
    // sent the stop packet for another would take two at least.
    EXPECT_LT(noticed, 2s);
    EXPECT_EQ(warnings[0].second,
              QStringLiteral("Ошибка: Порт %1 исчез: устройство отключено или кабель вынут.").arg(port.c_str()));
    ASSERT_TRUE(waitFor([&] { return panel.transmissionThread() == nullptr; }, 5s)) << "the thread did not end";
    EXPECT_TRUE(panel.ui().actionReconnect->isEnabled());
    EXPECT_TRUE(nothingKeepsWorking());

    VPanel::Sim::SimulatorOptions again;
    again.portName = port;
    simulate(again);
    QTest::keyClick(&panel, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(waitFor([&] { return requests(identificationCommand) == 1 && displayRow(3).startsWith("F1"); }, 10s))
        << logTexts().join(" | ").toStdString();
    EXPECT_FALSE(panel.ui().actionReconnect->isEnabled());
}

TEST_F(ConnectionWindowTest, AlarmStopsWhenTheLinkEnds)
{
    struct Case {
        const char* name;
        std::function<void(QORemoteController&)> end;
        std::function<bool()> ended;
    };
    const auto boxSays = [this](const QString& start) {
        return [this, start] { return !warnings.isEmpty() && warnings[0].second.startsWith(start); };
    };
    const Case cases[] = {
        {"device falls silent: event 1",
         [this](QORemoteController&) {
             VPanel::Sim::Faults silence;
             silence.silentAfterRequests = 0;
             simulator->setFaults(silence);
         },
         boxSays(QStringLiteral("Устройство не отвечает"))},
        {"device vanishes: event 0", [this](QORemoteController&) { simulator.reset(); },
         boxSays(QStringLiteral("Ошибка: Порт COM"))},
        {"stopped: event 6", [](QORemoteController& panel) { panel.transmissionThread()->stope(); },
         [this] { return logHas(QStringLiteral("Устройство отключено пользователем.")); }},
        {"another connection chosen", [this](QORemoteController& panel) { panel.setParam(portName(), 1, baudRate); },
         [] { return true; }},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        controller.reset();
        warnings.clear();
        simulate();
        connectWindow();
        QORemoteController& panel = window();
        click(Button::F2, F2);
        ASSERT_TRUE(waitFor([&] { return !panel.soundIcon()->pixmap().isNull(); }));
        item.end(panel);
        ASSERT_TRUE(waitFor(item.ended));
        EXPECT_TRUE(panel.soundIcon()->pixmap().isNull());
        EXPECT_FALSE(panel.alarmSound()->isPlaying());
    }
}

TEST_F(ConnectionWindowTest, EnglishWhileConnectedReconnectsWithTheNewLanguage)
{
    connectWindow();
    QORemoteController& panel = window();
    panel.ui().actionEnglish->trigger();
    EXPECT_EQ(panel.language(), 1);
    EXPECT_TRUE(waitFor([&] { return panel.windowTitle().startsWith(QStringLiteral("Velidar 1.0")); }));
    // The device label keeps its text through the change of language.
    EXPECT_TRUE(panel.ui().deviceLabel->text().startsWith(QString::fromUtf8(deviceName)));

    EXPECT_TRUE(waitFor([&] { return requests(stopCommand) == 1 && requests(languageCommand) == 2; }, 10s));
    const auto english = expectedScreen({}, true);
    EXPECT_TRUE(waitFor([&] { return displayRow(3) == rowOf(english, 3); }, 10s))
        << fromDevice(displayRow(3)).toStdString();
    EXPECT_TRUE(panel.isConnected());
}

TEST_F(ConnectionWindowTest, ClosingWhileConnectedSendsTheStopPacketAndFreesThePort)
{
    connectWindow();
    QORemoteController& panel = window();
    EXPECT_FALSE(portFree());
    const auto closing = std::chrono::steady_clock::now();
    panel.close();
    RecordProperty("close_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                    std::chrono::steady_clock::now() - closing).count()));
    // A stop reply read late on a loaded machine sends the packet once more.
    EXPECT_GE(requests(stopCommand), 1u);
    EXPECT_EQ(panel.transmissionThread(), nullptr);
    EXPECT_TRUE(portFree());
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(ConnectionWindowTest, ClosingWhileStillLoadingEndsCleanly)
{
    simulate();
    QORemoteController& panel = window();
    panel.setParam(portName(), 1, baudRate);
    ASSERT_TRUE(waitFor([&] { return requests(identificationCommand) > 0; }));
    panel.close();
    EXPECT_EQ(panel.transmissionThread(), nullptr);
    EXPECT_TRUE(portFree());
    controller.reset();
    EXPECT_TRUE(portFree());
}

} // namespace
} // namespace WindowTest

#include "ConnectionEndTest.moc"
