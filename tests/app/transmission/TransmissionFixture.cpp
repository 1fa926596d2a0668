#include "tests/app/transmission/TransmissionFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>
#include <QTest>

#include <cstdlib>
#include <iostream>

namespace TransmissionTest {

namespace {
constexpr int rowPlaces = 20;
constexpr std::chrono::milliseconds keyWait{2000};
// A reply that a loaded machine delivers late is lost with the rows it carried; the device's
// redraws bring them back within this time.
constexpr std::chrono::milliseconds redrawInterval{500};
} // namespace

void Recorder::attach(QOTransmissionThread& thread)
{
    const auto queued = Qt::QueuedConnection;
    connect(&thread, &QOTransmissionThread::alarm, this,
            [this](int code, QString text) { events.append({code, text, SteadyClock::now()}); }, queued);
    connect(&thread, &QOTransmissionThread::deviceIdentif, this, [this](int id) { deviceIds.append(id); }, queued);
    connect(&thread, &QOTransmissionThread::sizeIndicators, this,
            [this](int rowCount, int places) { displaySizes.append({rowCount, places}); }, queued);
    connect(&thread, &QOTransmissionThread::setMatrixSymbolSize, this,
            [this](int columns, int rowCount) { glyphSizes.append({columns, rowCount}); }, queued);
    connect(&thread, &QOTransmissionThread::setSymbolMatrix, this,
            [this](char code, SymbolMatrix matrix) { glyphs.insert(static_cast<unsigned char>(code), matrix); },
            queued);
    connect(&thread, &QOTransmissionThread::setCells, this,
            [this](int row, int start, QByteArray symbols, int count) {
                EXPECT_EQ(start, 0);
                EXPECT_EQ(count, symbols.size());
                rows.insert(row, symbols);
                ++rowDeliveries;
            },
            queued);
    connect(&thread, &QOTransmissionThread::resetView, this, [this] { ++resets; }, queued);
    connect(&thread, &QThread::finished, this, [this] { finished = true; }, queued);
}

bool Recorder::has(int code, const QString& text) const
{
    for (const Event& event : events)
        if (event.code == code && (text.isNull() || event.text == text))
            return true;
    return false;
}

int Recorder::count(int code, const QString& text) const
{
    int found = 0;
    for (const Event& event : events)
        if (event.code == code && event.text == text)
            ++found;
    return found;
}

std::string Recorder::describe() const
{
    std::string text;
    for (const Event& event : events)
        text += " [" + std::to_string(event.code) + " " + event.text.toStdString() + "]";
    return text;
}

const Event* Recorder::first(int code) const
{
    for (const Event& event : events)
        if (event.code == code)
            return &event;
    return nullptr;
}

QByteArray deviceRow(const QString& text)
{
    QByteArray row = QTextCodec::codecForName("Windows-1251")->fromUnicode(text);
    row.append(QByteArray(rowPlaces - row.size(), ' '));
    return row;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

void TransmissionFixture::SetUp()
{
    ASSERT_TRUE(directory.isValid());
    const QDir root(directory.path());
    for (const char* name : {"ports", "sysfs", "work"})
        ASSERT_TRUE(root.mkdir(QString::fromLatin1(name)));
    setenv("KELCOMM_PORTS_DIR", QFile::encodeName(root.filePath("ports")).constData(), 1);
    setenv("KELCOMM_SYSFS_ROOT", QFile::encodeName(root.filePath("sysfs")).constData(), 1);
    previousDirectory = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root.filePath("work")));

    QFile dictionary(QStringLiteral("dictionary.txt"));
    ASSERT_TRUE(dictionary.open(QIODevice::WriteOnly));
    const QString text = QStringLiteral("1\tДатчик\r\n7\t%1\r\n8\t\r\n").arg(QString::fromUtf8(deviceName));
    dictionary.write(QTextCodec::codecForName("Windows-1251")->fromUnicode(text));
}

void TransmissionFixture::TearDown()
{
    thread.reset();
    recorder.reset();
    simulator.reset();
    QDir::setCurrent(previousDirectory);
    unsetenv("KELCOMM_PORTS_DIR");
    unsetenv("KELCOMM_SYSFS_ROOT");
}

VPanel::Sim::Simulator& TransmissionFixture::simulate(VPanel::Sim::SimulatorOptions options)
{
    if (!options.seed)
        options.seed = 5;
    if (options.devices.empty())
        options.devices.emplace_back();
    for (VPanel::Sim::FirmwareSetup& device : options.devices)
        device.redrawInterval = redrawInterval;
    simulator = std::make_unique<VPanel::Sim::Simulator>(std::move(options));
    return *simulator;
}

QOTransmissionThread& TransmissionFixture::connectTo(const QString& portName, int address, bool start)
{
    thread.reset();
    recorder = std::make_unique<Recorder>();
    thread = std::make_unique<QOTransmissionThread>();
    thread->setPortName(portName);
    thread->setAddress(address);
    thread->setBaudRate(baudRate);
    thread->setWriteInterval(QOTransmissionThread::defaultWriteInterval_ms);
    thread->setLanguage(0);
    recorder->attach(*thread);
    if (start)
        thread->start();
    return *thread;
}

QString TransmissionFixture::portNameOf(const VPanel::Sim::Simulator& simulator)
{
    return QString::fromStdString(simulator.portName());
}

void TransmissionFixture::removeDictionary() { ASSERT_TRUE(QFile::remove(QStringLiteral("dictionary.txt"))); }

bool TransmissionFixture::deviceSees(std::uint32_t mask) const
{
    return waitFor([&] { return counters().lastKeyMask == mask; }, keyWait);
}

void TransmissionFixture::tap(int keyCode)
{
    const std::uint32_t before = counters().lastKeyMask;
    thread->codePress(keyCode);
    ASSERT_TRUE(deviceSees(before | VPanel::Link::keyBit(VPanel::Link::keyNumber(keyCode)))) << keyCode;
    thread->codeRelease(keyCode);
    ASSERT_TRUE(deviceSees(before)) << keyCode;
}

::testing::AssertionResult TransmissionFixture::polling()
{
    if (waitFor(
            [&] { return counters().requestsOf(VPanel::Link::Command::Exchange) > 0 && recorder->rows.size() == 4; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no polling; events:" << recorder->describe();
}

} // namespace TransmissionTest
