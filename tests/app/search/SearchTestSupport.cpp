#include "tests/app/search/SearchTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTest>
#include <QTextCodec>

#include <algorithm>
#include <cstdlib>

namespace SearchTest {

namespace {
constexpr int unreachableAddress = 250;
} // namespace

SearchEnvironment::SearchEnvironment()
{
    setenv("KELCOMM_PORTS_DIR", ports.path().toLocal8Bit().constData(), 1);
    setenv("KELCOMM_SYSFS_ROOT", sysfs.path().toLocal8Bit().constData(), 1);
    setenv("KELCOMM_BY_ID_DIR", stableNamesPath().toLocal8Bit().constData(), 1);
    QDir(sysfs.path()).mkpath("class/tty");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    writeDictionary(QString());
}

SearchEnvironment::~SearchEnvironment()
{
    unsetenv("KELCOMM_PORTS_DIR");
    unsetenv("KELCOMM_SYSFS_ROOT");
    unsetenv("KELCOMM_BY_ID_DIR");
}

void SearchEnvironment::writeDictionary(const QString& lines) const
{
    QFile file(dictionaryPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QTextCodec::codecForName("Windows-1251")->fromUnicode(lines));
}

void SearchEnvironment::removeDictionary() const { QFile::remove(dictionaryPath()); }

void SearchEnvironment::linkPort(const QString& portName, const QString& target) const
{
    ASSERT_TRUE(QFile::link(target, QDir(ports.path()).filePath(portName)));
}

void SearchEnvironment::nameServer(const QString& portName, const std::string& url) const
{
    QFile entry(QDir(ports.path()).filePath(portName));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
    entry.write(QByteArray::fromStdString(url + "\n"));
}

void SearchEnvironment::removePortTable() const { QDir(sysfs.path()).removeRecursively(); }

std::unique_ptr<VPanel::Sim::Simulator> SearchEnvironment::simulate(
    const std::string& portName, const std::vector<std::pair<int, int>>& devices,
    const VPanel::Sim::DeviceQuirks& quirks, std::uint32_t seed, unsigned ownRate) const
{
    VPanel::Sim::SimulatorOptions options;
    options.portName = portName;
    options.faults.quirks = quirks;
    options.pace = false;
    options.seed = seed;
    options.baudRate = ownRate;
    options.onlyAtOwnRate = ownRate != 0;
    std::vector<std::pair<int, int>> bus = devices;
    if (bus.empty())
        bus.emplace_back(unreachableAddress, 1);
    for (const auto& [address, identifier] : bus) {
        VPanel::Sim::FirmwareSetup setup;
        setup.address = static_cast<std::uint8_t>(address);
        setup.identifier = static_cast<std::uint16_t>(identifier);
        options.devices.push_back(setup);
    }
    return std::make_unique<VPanel::Sim::Simulator>(options);
}

QOIdentifyThread* TestFindDevice::createThread()
{
    QOIdentifyThread* thread = QOFindDevice::createThread();
    thread->setAddressBudget(addressBudget);
    thread->setReplyMargin(replyMargin);
    made << thread;
    connect(thread, &QOIdentifyThread::add, this, [this] {
        if (runningAtFirstFind >= 0)
            return;
        runningAtFirstFind = static_cast<int>(std::count_if(made.begin(), made.end(), [](const auto& each) {
            return each && each->isRunning();
        }));
    });
    return thread;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QTest::qWait(5);
    }
    return true;
}

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row)
        result << list->item(row)->text();
    return result;
}

QStringList portsOffered(const QWidget& window)
{
    const auto* boxCom = part<QComboBox>(window, "boxCom");
    QStringList names;
    for (int index = 1; index < boxCom->count(); ++index)
        names << boxCom->itemData(index).toString();
    return names;
}

void choose(const QWidget& window, const QString& port, int begin, int end, int baud)
{
    auto* boxCom = part<QComboBox>(window, "boxCom");
    boxCom->setCurrentIndex(port == boxCom->itemText(0) ? 0 : boxCom->findData(port));
    ASSERT_GE(boxCom->currentIndex(), 0) << port.toStdString();
    part<QComboBox>(window, "boxAddresBegin")->setCurrentText(QString::number(begin));
    part<QComboBox>(window, "boxAddresEnd")->setCurrentText(QString::number(end));
    auto* boxSpeed = part<QComboBox>(window, "boxSpeed");
    boxSpeed->setCurrentIndex(boxSpeed->findText(QString::number(baud)));
    ASSERT_GE(boxSpeed->currentIndex(), 0);
}

bool idle(const QWidget& window)
{
    return part<QPushButton>(window, "findButton")->isEnabled() &&
           !part<QPushButton>(window, "stopButton")->isEnabled() &&
           part<QLabel>(window, "busyLabel")->isHidden();
}

void searchAndWait(const QWidget& window, std::chrono::milliseconds limit)
{
    part<QPushButton>(window, "findButton")->click();
    ASSERT_TRUE(waitFor([&] { return idle(window); }, limit));
}

} // namespace SearchTest
