#include "tests/app/window/WindowFixture.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputButton.h"
#include "app/keypad/QOInputDevice.h"
#include "link/Keys.h"
#include "app/log/LogWidget.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QTest>
#include <QTextCodec>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace WindowTest {

namespace {
constexpr int places = 20;
constexpr auto keyWait = 3s;
constexpr auto connectWait = 10s;
// A reply that a loaded machine delivers late is lost with the rows it carried; the device's
// redraws bring them back within this time.
constexpr auto redrawInterval = 500ms;

QTextCodec* windows1251() { return QTextCodec::codecForName("Windows-1251"); }
} // namespace

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

bool nothingKeepsWorking()
{
    const auto processTime = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    };
    const auto cpuBefore = processTime();
    QTest::qWait(500);
    return processTime() - cpuBefore < 250ms;
}

QByteArray deviceRow(const QString& text)
{
    QByteArray row = windows1251()->fromUnicode(text);
    row.append(QByteArray(places - row.size(), ' '));
    return row;
}

QString fromDevice(const QByteArray& row)
{
    return windows1251()->toUnicode(row);
}

VPanel::Sim::Firmware::Screen expectedScreen(const std::vector<int>& keys, bool english)
{
    VPanel::Sim::Firmware firmware(VPanel::Sim::FirmwareSetup{}, std::chrono::steady_clock::now());
    firmware.setLanguage(english ? 1 : 0);
    for (int key : keys) {
        firmware.keys(VPanel::Link::keyBit(key));
        firmware.keys(0);
    }
    return firmware.screen();
}

QByteArray rowOf(const VPanel::Sim::Firmware::Screen& screen, int row)
{
    return QByteArray(reinterpret_cast<const char*>(screen[row].data()), places);
}

void WindowFixture::SetUp()
{
    ASSERT_TRUE(directory.isValid());
    const QDir root(directory.path());
    for (const char* name : {"ports", "sysfs", "work", "settings"})
        ASSERT_TRUE(root.mkdir(QString::fromLatin1(name)));
    setenv("KELCOMM_PORTS_DIR", QFile::encodeName(root.filePath("ports")).constData(), 1);
    setenv("KELCOMM_SYSFS_ROOT", QFile::encodeName(root.filePath("sysfs")).constData(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root.filePath("settings"));
    previousDirectory = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root.filePath("work")));
}

void WindowFixture::TearDown()
{
    controller.reset();
    server.reset();
    simulator.reset();
    QDir::setCurrent(previousDirectory);
    unsetenv("KELCOMM_PORTS_DIR");
    unsetenv("KELCOMM_SYSFS_ROOT");
}

QORemoteController& WindowFixture::window()
{
    if (!controller) {
        controller = std::make_unique<QORemoteController>();
        controller->setWarningPresenter(
            [this](QWidget*, const QString& title, const QString& text) { warnings.append({title, text}); });
        controller->setInformationPresenter(
            [this](QWidget*, const QString& title, const QString& text) { informations.append({title, text}); });
        controller->show();
    }
    return *controller;
}

VPanel::Sim::Simulator& WindowFixture::simulate(VPanel::Sim::SimulatorOptions options)
{
    if (!options.seed)
        options.seed = 7;
    if (options.devices.empty())
        options.devices.emplace_back();
    for (VPanel::Sim::FirmwareSetup& device : options.devices)
        device.redrawInterval = redrawInterval;
    simulator = std::make_unique<VPanel::Sim::Simulator>(std::move(options));
    return *simulator;
}

void WindowFixture::serveOverNetwork(KelTestSupport::Ser2net::Accepter accepter)
{
    if (!simulator)
        simulate();
    server = std::make_unique<KelTestSupport::Ser2net>(std::vector<std::string>{simulator->devicePath()}, accepter);
    std::string failure;
    ASSERT_TRUE(server->start(failure)) << failure;
    networkPort = QStringLiteral("COM9");
    QFile entry(QDir(QString::fromLocal8Bit(qgetenv("KELCOMM_PORTS_DIR"))).filePath(networkPort));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
    entry.write(QByteArray::fromStdString(server->url() + "\n"));
}

void WindowFixture::connectWindow(int baud)
{
    if (!simulator)
        simulate();
    window().setParam(portName(), 1, baud);
    ASSERT_TRUE(waitFor([&] { return requests(0x0013) > 0 && displayRow(3).startsWith("F1"); }, connectWait))
        << "the device's screen did not reach the display; row 3 is '" << fromDevice(displayRow(3)).toStdString()
        << "'; the log: " << logTexts().join(QStringLiteral(" | ")).toStdString();
}

QByteArray WindowFixture::displayRow(int row) const
{
    const QOSymbolModel& model = controller->ui().indicator->model();
    QByteArray cells;
    for (int column = 0; column < model.displayColumns(); ++column)
        cells.append(model.cell(row, column));
    return cells;
}

bool WindowFixture::displayShows(const VPanel::Sim::Firmware::Screen& screen) const
{
    for (int row = 0; row < VPanel::Sim::Firmware::rows; ++row)
        if (displayRow(row) != rowOf(screen, row))
            return false;
    return true;
}

void WindowFixture::click(int button, int keyNumber)
{
    QOInputButton* key = controller->ui().keypad->button(button);
    ASSERT_NE(key, nullptr);
    const std::uint32_t bit = VPanel::Link::keyBit(keyNumber);
    QTest::mousePress(key, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return (counters().lastKeyMask & bit) != 0; }, keyWait)) << "key " << keyNumber;
    QTest::mouseRelease(key, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return (counters().lastKeyMask & bit) == 0; }, keyWait)) << "key " << keyNumber;
}

QStringList WindowFixture::logTexts() const
{
    QStringList texts;
    const QListWidget* lines = controller->logWindow()->lines();
    for (int i = 0; i < lines->count(); ++i) {
        // A journal line is the text, a blank and the time.
        const QString line = lines->item(i)->text();
        texts << line.left(line.lastIndexOf(QLatin1Char(' ')));
    }
    return texts;
}

bool WindowFixture::logHas(const QString& text) const
{
    return logTexts().contains(text);
}

bool WindowFixture::portFree() const
{
    const int fd = ::open(simulator->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace WindowTest
