#include "tests/app/search/SearchTestSupport.h"
#include "tests/support/FakeDeviceTree.h"

#include "app/search/PortWatcher.h"
#include "app/search/SearchProgress.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QToolButton>
#include <QSignalSpy>
#include <QTranslator>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

using namespace SearchTest;

const QString noDevices = "Поиск окончен, устройств не найдено!";
const QString attention = "background-color:#FF3300;";

class FindDeviceTest : public SearchEnvironment {
protected:
    static QListWidget* found(const QWidget& window) { return part<QListWidget>(window, "infoView"); }
    static QListWidget* details(const QWidget& window) { return part<QListWidget>(window, "infoView_2"); }
    static QPushButton* detailsButton(const QWidget& window) { return part<QPushButton>(window, "pushButton"); }
};

TEST(SearchProgressTest, NamesEachPortStillScanningAndTheSlowestTimeLeftInWholeSeconds)
{
    SearchProgress progress;
    progress.count("COM3", 4, 10);
    progress.count("COM1", 2, 10);
    progress.locate("COM3", 115200, 5, 4100);
    progress.locate("COM1", 9600, 3, 1500);
    progress.locate("COM7", 1200, 9, 60000);
    progress.finish("COM7");
    EXPECT_EQ(progress.text(), "COM1: 9600 бод, адрес 3; COM3: 115200 бод, адрес 5; осталось около 5 с");
    EXPECT_EQ(progress.done(), 6);
    EXPECT_EQ(progress.total(), 20);
}

QStringList items(const QComboBox* box)
{
    QStringList result;
    for (int index = 0; index < box->count(); ++index)
        result << box->itemText(index);
    return result;
}

TEST_F(FindDeviceTest, OpensIdleWithTheInstalledPortsAndTheFixedChoices)
{
    const auto first = simulate("COM12", {});
    const auto second = simulate("COM5", {});
    QWidget owner;
    TestFindDevice window(dictionaryPath(), &owner);

    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_EQ(window.windowTitle(), "Поиск устройств");
    EXPECT_EQ(part<QComboBox>(window, "boxCom")->itemText(0), "Все порты");
    EXPECT_EQ(portsOffered(window), (QStringList{"COM5", "COM12"}));
    const QStringList speeds = items(part<QComboBox>(window, "boxSpeed"));
    ASSERT_EQ(speeds.size(), 19);
    EXPECT_EQ(speeds.first(), "1200");
    EXPECT_EQ(speeds[17], "921600");
    EXPECT_EQ(speeds.last(), "Все скорости");
    // The thorough scan of every address, unless the user chose otherwise.
    EXPECT_FALSE(part<QCheckBox>(window, "quickBox")->isChecked());
    EXPECT_FALSE(part<QCheckBox>(window, "stopAtFirstBox")->isChecked());
    for (const char* box : {"boxAddresBegin", "boxAddresEnd"}) {
        const QStringList addresses = items(part<QComboBox>(window, box));
        ASSERT_EQ(addresses.size(), 249) << box;
        EXPECT_EQ(addresses.first(), "1");
        EXPECT_EQ(addresses.last(), "249");
    }
    EXPECT_TRUE(idle(window));
    EXPECT_TRUE(part<QGroupBox>(window, "groupBox_2")->isHidden());
    EXPECT_TRUE(details(window)->count() == 0);
    EXPECT_TRUE(detailsButton(window)->styleSheet().isEmpty());
    EXPECT_EQ(found(window)->iconSize(), QSize(58, 20));
    EXPECT_EQ(part<QLabel>(window, "busyLabel")->size(), QSize(50, 50));
}

// Each choice stands where the window describes it, its label right beside it: port and rate,
// then begin and end address, then the two search switches.
TEST_F(FindDeviceTest, EachLabelStandsBesideItsBoxInTheDescribedOrder)
{
    TestFindDevice window(dictionaryPath());
    window.show();
    QCoreApplication::processEvents();
    struct Choice {
        const char* label; // none for a switch, which carries its own text
        const char* control;
        int row;
        int column;
    };
    const Choice choices[] = {
        {"label", "boxCom", 0, 0},         {"label_2", "boxSpeed", 0, 1},
        {"label_3", "boxAddresBegin", 1, 0}, {"label_4", "boxAddresEnd", 1, 1},
        {nullptr, "quickBox", 2, 0},       {nullptr, "stopAtFirstBox", 2, 1},
    };
    const auto placeOf = [&window](const QWidget* widget) {
        return QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    };
    const QList<QWidget*> controls = window.findChildren<QWidget*>();
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.control);
        const QRect control = placeOf(part<QWidget>(window, choice.control));
        for (const Choice& other : choices) {
            const QRect otherControl = placeOf(part<QWidget>(window, other.control));
            if (other.row > choice.row) {
                EXPECT_LT(control.bottom(), otherControl.top()) << "above " << other.control;
            }
            if (other.row == choice.row && other.column > choice.column) {
                EXPECT_LT(control.right(), otherControl.left()) << "left of " << other.control;
            }
        }
        if (!choice.label)
            continue;
        const QRect label = placeOf(part<QLabel>(window, choice.label));
        EXPECT_TRUE(control.top() <= label.center().y() && label.center().y() <= control.bottom());
        EXPECT_LE(label.right(), control.left());
        // Nothing stands between the label and its box.
        for (const QWidget* between : controls) {
            const QRect place = placeOf(between);
            if (between->isVisibleTo(&window) && between->parentWidget() == &window && place.left() > label.right() &&
                place.right() < control.left() && place.top() <= label.center().y() &&
                label.center().y() <= place.bottom())
                ADD_FAILURE() << between->objectName().toStdString() << " stands before the box";
        }
    }
}

TEST_F(FindDeviceTest, RemembersTheChoicesOfTheLastSearch)
{
    const auto bus = simulate("COM5", {});
    {
        TestFindDevice window(dictionaryPath());
        choose(window, "COM5", 10, 3);
        part<QComboBox>(window, "boxSpeed")->setCurrentText("Все скорости");
        part<QCheckBox>(window, "quickBox")->setChecked(true);
        part<QCheckBox>(window, "stopAtFirstBox")->setChecked(true);
        searchAndWait(window);
    }
    TestFindDevice again(dictionaryPath());
    EXPECT_EQ(part<QComboBox>(again, "boxCom")->currentData(), "COM5");
    EXPECT_EQ(part<QComboBox>(again, "boxAddresBegin")->currentText(), "10");
    EXPECT_EQ(part<QComboBox>(again, "boxAddresEnd")->currentText(), "3");
    EXPECT_EQ(part<QComboBox>(again, "boxSpeed")->currentText(), "Все скорости");
    EXPECT_TRUE(part<QCheckBox>(again, "quickBox")->isChecked());
    EXPECT_TRUE(part<QCheckBox>(again, "stopAtFirstBox")->isChecked());
}

TEST_F(FindDeviceTest, ThePortBoxDescribesEachPortAndFollowsThePortMap)
{
    KelTest::FakeDeviceTree tree(sysfsPath().toStdString(), stableNamesPath().toStdString());
    tree.addUsbSerial("ttyUSB1", "ftdi_sio", {"FTDI", "FT232R USB UART", "A10K3X"},
                      "usb-FTDI_FT232R_USB_UART_A10K3X-if00-port0");
    tree.addAcm("ttyACM0", {"Arduino (www.arduino.cc)", "Arduino Uno", "8503631"}, "usb-Arduino_8503631-if00");
    tree.addUart("ttyS0", "serial8250");
    linkPort("COM5", scratchPath("unplugged")); // dangling: offered as not connected
    TestFindDevice window(dictionaryPath());
    auto* box = part<QComboBox>(window, "boxCom");
    EXPECT_EQ(items(box), (QStringList{"Все порты", "COM1 — serial8250",
                                       "COM5 — → " + scratchPath("unplugged") + ": адаптер не подключён",
                                       "COM34 — FTDI FT232R USB UART, A10K3X, ftdi_sio",
                                       "COM65 — Arduino (www.arduino.cc) Arduino Uno, 8503631, cdc_acm"}));

    // A device published in the port map while the window is open comes in its place and
    // goes again when it is withdrawn; the port chosen stays chosen.
    box->setCurrentIndex(3);
    auto bus = simulate("COM40", {});
    ASSERT_TRUE(waitFor([&] { return portsOffered(window).contains("COM40"); }));
    EXPECT_EQ(portsOffered(window), (QStringList{"COM1", "COM5", "COM34", "COM40", "COM65"}));
    EXPECT_EQ(box->itemText(4), "COM40 — → " + QString::fromStdString(bus->devicePath()));
    EXPECT_EQ(box->currentData(), "COM34");
    bus.reset();
    ASSERT_TRUE(waitFor([&] { return !portsOffered(window).contains("COM40"); }));
    EXPECT_EQ(portsOffered(window), (QStringList{"COM1", "COM5", "COM34", "COM65"}));
    EXPECT_EQ(box->currentData(), "COM34");
}

// Plugging in a hub's worth of adapters changes the port folders again and again: the watcher
// tells of the changes while they go on, not only once they have stopped.
TEST_F(FindDeviceTest, ThePortWatcherTellsOfChangesDuringAStormOfThem)
{
    PortWatcher watcher;
    QSignalSpy changed(&watcher, &PortWatcher::changed);
    const std::string entry = std::string(std::getenv("KELCOMM_PORTS_DIR")) + "/noise";
    std::atomic<bool> stop = false;
    std::atomic<bool> stormOver = false;
    // Far longer than the watcher may wait; each change well inside the time it lets settle.
    std::thread storm([&] {
        const auto end = std::chrono::steady_clock::now() + 10s;
        for (int i = 0; !stop && std::chrono::steady_clock::now() < end; ++i) {
            if (i % 2 == 0)
                std::ofstream{entry};
            else
                std::remove(entry.c_str());
            std::this_thread::sleep_for(20ms);
        }
        stormOver = true;
    });
    EXPECT_TRUE(waitFor([&] { return changed.count() > 0; }, 10s));
    EXPECT_FALSE(stormOver) << "told only once the changes stopped";
    stop = true;
    storm.join();
}

TEST_F(FindDeviceTest, AStoredPortIndexBeyondTheInstalledPortsChoosesAllPorts)
{
    QSettings settings("ТЕВОЛАН", "ВЛД");
    settings.setValue("FindDevice/comPort", 4);
    settings.setValue("FindDevice/speed", 3);
    settings.sync();
    TestFindDevice window(dictionaryPath());
    EXPECT_EQ(part<QComboBox>(window, "boxCom")->currentIndex(), 0);
    EXPECT_EQ(part<QComboBox>(window, "boxSpeed")->currentText(), "9600");
}

TEST_F(FindDeviceTest, AnInvertedRangeSaysSoAndEndsWithNoDevice)
{
    const auto bus = simulate("COM5", {{5, 7}});
    TestFindDevice window(dictionaryPath());
    choose(window, "COM5", 10, 3);
    searchAndWait(window);

    EXPECT_EQ(texts(found(window)),
              (QStringList{"Некорректный начальный адрес (не может быть больше конечного)", noDevices}));
    EXPECT_TRUE(texts(details(window)).isEmpty());
    EXPECT_EQ(part<QProgressBar>(window, "progressBar")->value(), 0);
}

TEST_F(FindDeviceTest, APortThatCannotBeOpenedIsReportedInTheDetailsInRed)
{
    // The port is installed when the window opens; its device is gone when the search runs.
    const QString device = scratchPath("adapter");
    QFile(device).open(QIODevice::WriteOnly);
    linkPort("COM40", device);
    TestFindDevice window(dictionaryPath());
    QFile::remove(device);
    choose(window, "COM40", 1, 5);
    searchAndWait(window);

    const QStringList lines = texts(details(window));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Ошибка: COM40: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(" "));
    EXPECT_EQ(details(window)->item(0)->data(Qt::UserRole), QVariant(0));
    EXPECT_EQ(detailsButton(window)->styleSheet(), attention);
    EXPECT_EQ(texts(found(window)), QStringList{noDevices});

    // The details button opens the details and loses its colour; pressed again it hides them.
    auto* group = part<QGroupBox>(window, "groupBox_2");
    detailsButton(window)->click();
    EXPECT_FALSE(group->isHidden());
    EXPECT_TRUE(detailsButton(window)->styleSheet().isEmpty());
    detailsButton(window)->click();
    EXPECT_TRUE(group->isHidden());
}

TEST_F(FindDeviceTest, AnUnreadablePortTableLeavesOnlyAllPortsAndASearchSaysThereIsNoPort)
{
    removePortTable();
    TestFindDevice window(dictionaryPath());

    EXPECT_EQ(items(part<QComboBox>(window, "boxCom")), QStringList{"Все порты"});
    const QStringList lines = texts(details(window));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Ошибка: ")) << lines[0].toStdString();
    EXPECT_GT(lines[0].size(), QString("Ошибка:  ").size());
    EXPECT_EQ(detailsButton(window)->styleSheet(), attention);

    part<QPushButton>(window, "findButton")->click();
    EXPECT_TRUE(idle(window));
    EXPECT_EQ(texts(found(window)), QStringList{"Не найдено ни одного COM порта."});
}

TEST_F(FindDeviceTest, AMissingDictionaryIsNotedAndDevicesShowTheirIdentifiers)
{
    removeDictionary();
    const auto bus = simulate("COM5", {{3, 7}});
    TestFindDevice window(dictionaryPath());

    ASSERT_EQ(details(window)->count(), 1);
    EXPECT_EQ(details(window)->item(0)->text(), "Отсутствует или недоступен файл словаря идентификаторов.");
    EXPECT_FALSE(details(window)->item(0)->data(Qt::UserRole).isValid());
    EXPECT_EQ(detailsButton(window)->styleSheet(), attention);

    window.addressBudget = VPanel::Link::repeatBudget;
    choose(window, "COM5", 3, 3);
    searchAndWait(window);
    EXPECT_EQ(texts(found(window)), QStringList{"COM5 адрес 3 Идентификатор устройства: 7"});
}

// Marks every text of the window's context, so that a missed one shows.
class MarkingTranslator : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return QString::fromLatin1(context) == "QOFindDevice" ? "~" + QString::fromUtf8(source) : QString();
    }
};

// The English catalogue's text for the details button.
class EnglishDetails : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override
    {
        return QString::fromUtf8(source) == "Подробности" ? "More details" : QString();
    }
};

TEST_F(FindDeviceTest, TheDetailsButtonShowsItsWholeTextInBothLanguagesAndInRed)
{
    TestFindDevice window(dictionaryPath());
    window.show();
    QPushButton* button = detailsButton(window);
    EnglishDetails english;
    for (const bool translated : {false, true}) {
        if (translated)
            QCoreApplication::installTranslator(&english);
        for (const QString& style : {QString(), attention}) {
            button->setStyleSheet(style);
            QCoreApplication::processEvents();
            SCOPED_TRACE(button->text().toStdString() + " " + style.toStdString());
            EXPECT_GE(button->width(), button->sizeHint().width());
            EXPECT_GE(button->height(), button->sizeHint().height());
        }
    }
    EXPECT_EQ(button->text(), "More details");
    QCoreApplication::removeTranslator(&english);
}

TEST_F(FindDeviceTest, RetranslatesItselfWhenTheLanguageChanges)
{
    TestFindDevice window(dictionaryPath());
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    QCoreApplication::processEvents();

    EXPECT_EQ(window.windowTitle(), "~Поиск устройств");
    EXPECT_EQ(part<QComboBox>(window, "boxCom")->itemText(0), "~Все порты");
    EXPECT_EQ(part<QComboBox>(window, "boxSpeed")->itemText(18), "~Все скорости");
    for (const char* name : {"quickBox", "stopAtFirstBox"})
        EXPECT_TRUE(part<QCheckBox>(window, name)->text().startsWith("~")) << name;
    for (const char* name : {"findButton", "stopButton", "pushButton"})
        EXPECT_TRUE(part<QPushButton>(window, name)->text().startsWith("~")) << name;
    for (const char* name : {"label", "label_2", "label_3", "label_4"})
        EXPECT_TRUE(part<QLabel>(window, name)->text().startsWith("~")) << name;
    for (const char* name : {"groupBox", "groupBox_2"})
        EXPECT_TRUE(part<QGroupBox>(window, name)->title().startsWith("~")) << name;
    EXPECT_TRUE(part<QToolButton>(window, "pushButton_2")->text().startsWith("~"));

    QCoreApplication::removeTranslator(&translator);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.windowTitle(), "Поиск устройств");
}

} // namespace
