#include "tests/app/search/SearchTestSupport.h"
#include "tests/support/Ser2net.h"

#include "link/Packet.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMovie>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

namespace {

using namespace SearchTest;

const QString noDevices = "Поиск окончен, устройств не найдено!";
const QString chooseDevice = "Поиск окончен, выберите устройство для соединения...";

class FindDeviceScanTest : public SearchEnvironment {
protected:
    FindDeviceScanTest() { writeDictionary("7\tТестовый блок\r\n300\tРегулятор\r\n12\tБлок 12\r\n"); }

    static QListWidget* found(const QWidget& window) { return part<QListWidget>(window, "infoView"); }
    static QListWidget* details(const QWidget& window) { return part<QListWidget>(window, "infoView_2"); }

    static QListWidgetItem* line(const QWidget& window, const QString& text)
    {
        const QList<QListWidgetItem*> matches = found(window)->findItems(text, Qt::MatchExactly);
        return matches.isEmpty() ? nullptr : matches.first();
    }

    // What a user's double click sends: the view takes the second press as one only on the
    // item the first went to.
    static void doubleClick(const QWidget& window, QListWidgetItem* item)
    {
        QListWidget* list = found(window);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(FindDeviceScanTest, AllPortsAreScannedAtOnceAndEveryDeviceIsListedByName)
{
    const auto first = simulate("COM5", {{3, 7}, {5, 300}, {8, 12}});
    // Identification answered in 7 bytes, without the software version.
    VPanel::Sim::DeviceQuirks shortIdentification;
    shortIdentification.shortIdentification = true;
    const auto second = simulate("COM6", {{4, 999}}, shortIdentification);
    TestFindDevice window(dictionaryPath());
    window.addressBudget = VPanel::Link::repeatBudget;
    window.show();
    QSignalSpy chosen(&window, &QOFindDevice::setParam);
    choose(window, "Все порты", 3, 8, steadyBaud);
    searchAndWait(window, 60s);

    EXPECT_EQ(window.made.size(), 2);
    EXPECT_EQ(window.runningAtFirstFind, 2);
    QStringList lines = texts(found(window));
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"COM5 адрес 3 Тестовый блок", "COM5 адрес 5 Регулятор", "COM5 адрес 8 Блок 12",
                                  "COM6 адрес 4 Идентификатор устройства: 999"}));
    for (int row = 0; row < found(window)->count(); ++row)
        EXPECT_EQ(found(window)->item(row)->data(Qt::UserRole), QVariant(1)) << row;
    EXPECT_EQ(texts(details(window)), QStringList{chooseDevice});
    const auto* progress = part<QProgressBar>(window, "progressBar");
    EXPECT_EQ(progress->maximum(), 2 * 6);
    EXPECT_EQ(progress->value(), 2 * 6);

    doubleClick(window, line(window, "COM5 адрес 5 Регулятор"));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0], (QList<QVariant>{"COM5", 5, steadyBaud}));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(FindDeviceScanTest, PortsInUseArePassedByAndAChoiceCanGoToANewTab)
{
    const auto first = simulate("COM5", {{3, 7}});
    const auto second = simulate("COM6", {{4, 7}});
    TestFindDevice window(dictionaryPath());
    window.addressBudget = VPanel::Link::repeatBudget;
    window.setPortsInUse({"COM5"});
    window.show();
    QSignalSpy current(&window, &QOFindDevice::setParam);
    QSignalSpy newTab(&window, &QOFindDevice::openInNewTab);
    const QString inUse = "Порт COM5 занят открытым устройством, поиск на нём не ведётся";

    choose(window, "COM5", 3, 4, steadyBaud);
    part<QPushButton>(window, "findButton")->click();
    EXPECT_TRUE(idle(window));
    EXPECT_TRUE(window.made.isEmpty());
    EXPECT_EQ(texts(found(window)), QStringList{inUse});

    choose(window, "Все порты", 3, 4, steadyBaud);
    searchAndWait(window, 60s);
    EXPECT_EQ(window.made.size(), 1);
    EXPECT_EQ(texts(found(window)), (QStringList{inUse, "COM6 адрес 4 Тестовый блок"}));
    found(window)->setCurrentItem(line(window, "COM6 адрес 4 Тестовый блок"));
    part<QToolButton>(window, "newTabButton")->click();
    EXPECT_EQ(current.count(), 0);
    ASSERT_EQ(newTab.count(), 1);
    EXPECT_EQ(newTab[0], (QList<QVariant>{"COM6", 4, steadyBaud}));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(FindDeviceScanTest, ADeviceCanBeChosenOnlyOnceTheSearchHasEnded)
{
    const auto bus = simulate("COM4", {{12, 7}});
    TestFindDevice window(dictionaryPath());
    window.addressBudget = VPanel::Link::repeatBudget;
    window.show();
    QSignalSpy chosen(&window, &QOFindDevice::setParam);
    choose(window, "COM4", 12, 14, 57600);
    part<QPushButton>(window, "findButton")->click();

    const QString device = "COM4 адрес 12 Тестовый блок";
    ASSERT_TRUE(waitFor([&] { return line(window, device) != nullptr; }));
    ASSERT_FALSE(idle(window));
    const auto* busy = part<QLabel>(window, "busyLabel");
    ASSERT_TRUE(busy->movie()->isValid());
    EXPECT_EQ(busy->movie()->state(), QMovie::Running);
    EXPECT_FALSE(busy->isHidden());
    doubleClick(window, line(window, device));
    found(window)->setCurrentItem(line(window, device));
    part<QToolButton>(window, "pushButton_2")->click();
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_TRUE(window.isVisible());

    ASSERT_TRUE(waitFor([&] { return idle(window); }));
    EXPECT_EQ(busy->movie()->state(), QMovie::NotRunning);
    EXPECT_EQ(texts(details(window)), QStringList{chooseDevice});
    // Neither a message line nor nothing selected chooses anything.
    window.selected(details(window)->item(0));
    found(window)->clearSelection();
    part<QToolButton>(window, "pushButton_2")->click();
    EXPECT_EQ(chosen.count(), 0);

    found(window)->setCurrentItem(line(window, device));
    part<QToolButton>(window, "pushButton_2")->click();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0], (QList<QVariant>{"COM4", 12, 57600}));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(FindDeviceScanTest, AllRatesFindADeviceAtItsOwnRateAndChoosingItConnectsAtThatRate)
{
    // Four faster rates are asked first, at two silent addresses each.
    constexpr unsigned deviceRate = 460800;
    const auto bus = simulate("COM5", {{4, 7}, {3, 12}}, {}, 1, deviceRate);
    TestFindDevice window(dictionaryPath());
    QSignalSpy chosen(&window, &QOFindDevice::setParam);
    choose(window, "COM5", 3, 4);
    part<QComboBox>(window, "boxSpeed")->setCurrentText("Все скорости");
    part<QCheckBox>(window, "quickBox")->setChecked(true);
    part<QCheckBox>(window, "stopAtFirstBox")->setChecked(true);
    part<QPushButton>(window, "findButton")->click();
    const auto* place = part<QLabel>(window, "progressLabel");
    ASSERT_TRUE(waitFor([&] { return !place->text().isEmpty(); }));
    EXPECT_TRUE(QRegularExpression("^COM5: \\d+ бод, адрес [34]; осталось около \\d+ с$").match(place->text()).hasMatch())
        << place->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return idle(window); }, 30s));

    // Faster rates first; the device at 3 ends the scan before 4 or a slower rate is asked.
    EXPECT_EQ(texts(found(window)), QStringList{"COM5 адрес 3 Блок 12 (460800 бод)"});
    EXPECT_EQ(bus->counters(4).requestsOf(VPanel::Link::Command::DeviceIdentification), 0u);
    const auto* progress = part<QProgressBar>(window, "progressBar");
    EXPECT_EQ(progress->value(), progress->maximum());
    doubleClick(window, line(window, "COM5 адрес 3 Блок 12 (460800 бод)"));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0], (QList<QVariant>{"COM5", 3, 460800}));
}

// The device lines of the search in another language.
class LineTranslator : public QTranslator {
public:
    explicit LineTranslator(QMap<QString, QString> lines) : lines(std::move(lines)) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return QString::fromLatin1(context) == "QOFindDevice" ? lines.value(QString::fromUtf8(source)) : QString();
    }

private:
    QMap<QString, QString> lines;
};

TEST_F(FindDeviceScanTest, ChoosingAFoundDeviceConnectsToItWhateverTheLanguageOfItsLine)
{
    constexpr unsigned deviceRate = 460800;
    const auto bus = simulate("COM5", {{3, 12}}, {}, 1, deviceRate);
    struct Case {
        const char* name;
        QMap<QString, QString> lines;
        QString line;
    };
    const Case cases[] = {
        {"Russian", {}, "COM5 адрес 3 Блок 12 (460800 бод)"},
        {"English", {{"%1 адрес %2 %3", "%1 address %2 %3"}, {" (%1 бод)", " (%1 baud)"}},
         "COM5 address 3 Блок 12 (460800 baud)"},
        {"a language that names the device first", {{"%1 адрес %2 %3", "%3: %1, %2"}}, "Блок 12: COM5, 3 (460800 бод)"},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        LineTranslator language(item.lines);
        QCoreApplication::installTranslator(&language);
        TestFindDevice window(dictionaryPath());
        window.show();
        QSignalSpy chosen(&window, &QOFindDevice::setParam);
        choose(window, "COM5", 3, 3);
        part<QComboBox>(window, "boxSpeed")->setCurrentText("Все скорости");
        part<QCheckBox>(window, "quickBox")->setChecked(true);
        part<QCheckBox>(window, "stopAtFirstBox")->setChecked(true);
        searchAndWait(window, 30s);
        QCoreApplication::removeTranslator(&language);

        ASSERT_EQ(texts(found(window)), QStringList{item.line});
        doubleClick(window, found(window)->item(0));
        ASSERT_EQ(chosen.count(), 1);
        EXPECT_EQ(chosen[0], (QList<QVariant>{"COM5", 3, deviceRate}));
    }
}

TEST_F(FindDeviceScanTest, ADeviceLineThatCannotBeReadIsACriticalError)
{
    const auto bus = simulate("COM4", {{12, 7}});
    TestFindDevice window(dictionaryPath());
    QSignalSpy chosen(&window, &QOFindDevice::setParam);
    choose(window, "COM4", 12, 12);
    searchAndWait(window);

    for (const char* text : {"COM4 адрес", "COM4 адрес x Тестовый"}) {
        auto* item = new QListWidgetItem(QString::fromUtf8(text));
        item->setData(Qt::UserRole, 1);
        found(window)->addItem(item);
        window.selected(item);
    }
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(texts(details(window)),
              (QStringList{chooseDevice, "Критическая ошибка, некорректная работа программы.",
                           "Критическая ошибка, некорректная работа программы."}));
}

TEST_F(FindDeviceScanTest, StopEndsTheScanAfterTheCurrentAddress)
{
    const auto bus = simulate("COM5", {});
    TestFindDevice window(dictionaryPath());
    choose(window, "COM5", 1, 249);
    part<QPushButton>(window, "findButton")->click();
    const auto* progress = part<QProgressBar>(window, "progressBar");
    ASSERT_TRUE(waitFor([&] { return progress->value() >= 3; }));

    const int doneAtStop = progress->value();
    part<QPushButton>(window, "stopButton")->click();
    ASSERT_TRUE(waitFor([&] { return idle(window); }, 2s));
    // The address under way when the stop came, and one whose report was still on its way.
    EXPECT_LE(progress->value(), doneAtStop + 2);
    EXPECT_EQ(progress->maximum(), 249);
    EXPECT_EQ(texts(found(window)), QStringList{noDevices});
}

TEST_F(FindDeviceScanTest, ALineThatGoesAwayDuringTheScanIsReportedAndEndsItsScan)
{
    auto bus = simulate("COM5", {});
    TestFindDevice window(dictionaryPath());
    choose(window, "COM5", 1, 249);
    part<QPushButton>(window, "findButton")->click();
    const auto* progress = part<QProgressBar>(window, "progressBar");
    ASSERT_TRUE(waitFor([&] { return progress->value() >= 2; }));

    bus.reset();
    ASSERT_TRUE(waitFor([&] { return idle(window); }, 3s));
    const QStringList lines = texts(details(window));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Ошибка: COM5: ")) << lines[0].toStdString();
    EXPECT_EQ(texts(found(window)), QStringList{noDevices});
    EXPECT_LT(progress->maximum(), 249);
    EXPECT_EQ(progress->value(), progress->maximum());
}

TEST_F(FindDeviceScanTest, APortMapBesideAnEmptyDeviceTreeIsSearchedOnAllPorts)
{
    // The demo's machine: no serial class in the kernel's tree, the simulator in the port map.
    removePortTable();
    const auto bus = simulate("COM7", {{1, 7}});
    TestFindDevice window(dictionaryPath());
    const QStringList failure = texts(details(window));
    ASSERT_EQ(failure.size(), 1);
    EXPECT_TRUE(failure[0].startsWith("Ошибка: ")) << failure[0].toStdString();

    window.addressBudget = VPanel::Link::repeatBudget;
    choose(window, "Все порты", 1, 1, 9600);
    searchAndWait(window);
    EXPECT_EQ(texts(found(window)), QStringList{"COM7 адрес 1 Тестовый блок"});
}

TEST_F(FindDeviceScanTest, APortThatFailsDoesNotKeepTheOthersFromFindingDevices)
{
    const auto bus = simulate("COM5", {{2, 7}});
    const QString device = scratchPath("adapter");
    QFile(device).open(QIODevice::WriteOnly);
    linkPort("COM40", device);
    // Unplugged before the window opened: offered, but a search of all ports leaves it out.
    linkPort("COM41", scratchPath("unplugged"));
    TestFindDevice window(dictionaryPath());
    window.addressBudget = VPanel::Link::repeatBudget;
    QFile::remove(device);
    choose(window, "Все порты", 1, 3, steadyBaud);
    searchAndWait(window);

    EXPECT_EQ(texts(found(window)), QStringList{"COM5 адрес 2 Тестовый блок"});
    const QStringList lines = texts(details(window));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Ошибка: COM40: ")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], chooseDevice);
    // The failed port's addresses drop out of the count.
    const auto* progress = part<QProgressBar>(window, "progressBar");
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(progress->value(), 3);
}

// A bus behind a device server is searched through the server's port-map entry, over Telnet
// port control and over a raw stream alike.
TEST_F(FindDeviceScanTest, DevicesBehindADeviceServerAreFoundThroughItsEntry)
{
    using KelTestSupport::Ser2net;
    if (Ser2net::program().empty())
        GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    const auto bus = simulate("COM5", {{2, 7}, {3, 300}});
    for (const Ser2net::Accepter accepter : {Ser2net::Accepter::Rfc2217, Ser2net::Accepter::RawTcp}) {
        SCOPED_TRACE(accepter == Ser2net::Accepter::Rfc2217 ? "telnet(rfc2217)" : "tcp");
        Ser2net server({bus->devicePath()}, accepter);
        std::string failure;
        ASSERT_TRUE(server.start(failure)) << failure;
        nameServer("COM9", server.url());
        TestFindDevice window(dictionaryPath());
        window.addressBudget = VPanel::Link::repeatBudget;
        choose(window, "COM9", 1, 4, 19200);
        searchAndWait(window, 30s);
        EXPECT_EQ(texts(found(window)), (QStringList{"COM9 адрес 2 Тестовый блок", "COM9 адрес 3 Регулятор"}));
    }
}

} // namespace

namespace {

using namespace SearchTest;

class FindDeviceLifetimeTest : public SearchEnvironment {};

TEST_F(FindDeviceLifetimeTest, ClosingStopsTheScanAndDestroyingWaitsForIt)
{
    const auto bus = simulate("COM5", {});
    auto window = std::make_unique<TestFindDevice>(dictionaryPath());
    choose(*window, "COM5", 1, 249);
    part<QPushButton>(*window, "findButton")->click();
    const auto* progress = part<QProgressBar>(*window, "progressBar");
    ASSERT_TRUE(waitFor([&] { return progress->value() >= 1; }));

    window->close();
    EXPECT_TRUE(waitFor([&] { return idle(*window); }, 2s));
    // A silent address asked for a whole minute: going away must not wait for its end.
    window->addressBudget = 60s;
    part<QPushButton>(*window, "findButton")->click();
    const auto* place = part<QLabel>(*window, "progressLabel");
    ASSERT_TRUE(waitFor([&] { return place->text().contains("адрес 1"); }));
    const auto closing = std::chrono::steady_clock::now();
    window.reset();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count(), 20.0) << "seconds";
    // Nothing asks the line any more once the window is gone.
    const std::uint64_t asked = bus->busCounters().frames;
    QTest::qWait(3 * shortBudget.count());
    EXPECT_EQ(bus->busCounters().frames, asked);
}

} // namespace
