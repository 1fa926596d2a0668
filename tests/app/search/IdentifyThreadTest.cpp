#include "app/search/QOIdentifyThread.h"
#include "link/Packet.h"
#include "baselib/exceptions/ErrorMessage.h"
#include "comm/serial/SerialExceptions.h"
#include "tests/app/search/SearchTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace {

using namespace SearchTest;
using VPanel::Link::Command::DeviceIdentification;

TEST(IdentifyThreadTimingTest, AnInvertedRangeAsksNoAddress)
{
    EXPECT_EQ(QOIdentifyThread::addressCount(3, 200), 198);
    EXPECT_EQ(QOIdentifyThread::addressCount(5, 5), 1);
    EXPECT_EQ(QOIdentifyThread::addressCount(10, 3), 0);
}

class IdentifyThreadTest : public SearchEnvironment {
protected:
    // Runs a scan to its end and gives the signals it sent.
    struct Scan {
        QList<QList<QVariant>> found;
        QStringList alarms;
        QList<QList<QVariant>> progress;
        int finishes = 0;
        QList<QList<QVariant>> scanning;
        QStringList notices;

        // The bus addresses of the devices found, in the order found.
        QList<int> addresses() const
        {
            QList<int> found;
            for (const QList<QVariant>& device : this->found)
                found << device.at(1).toSize().width();
            return found;
        }
    };

    static Scan run(QOIdentifyThread& thread)
    {
        QSignalSpy found(&thread, &QOIdentifyThread::add);
        QSignalSpy alarms(&thread, &QOIdentifyThread::alarm);
        QSignalSpy progress(&thread, &QOIdentifyThread::progress);
        QSignalSpy finishes(&thread, &QOIdentifyThread::finish);
        QSignalSpy scanning(&thread, &QOIdentifyThread::scanning);
        QSignalSpy notices(&thread, &QOIdentifyThread::notice);
        thread.start();
        EXPECT_TRUE(thread.wait(10000));
        QCoreApplication::processEvents();
        Scan scan{{found.begin(), found.end()}, {}, {progress.begin(), progress.end()},
                  static_cast<int>(finishes.count()), {scanning.begin(), scanning.end()}, {}};
        for (const QList<QVariant>& alarm : alarms)
            scan.alarms << alarm.at(0).toString();
        for (const QList<QVariant>& notice : notices)
            scan.notices << notice.at(0).toString();
        return scan;
    }

    static void aim(QOIdentifyThread& thread, const std::string& port, int begin, int end)
    {
        thread.setScanPort(QString::fromStdString(port));
        thread.setRange(begin, end);
        thread.setBaud(fastBaud);
        thread.setAddressBudget(shortBudget);
    }

    static void aimQuick(QOIdentifyThread& thread, const std::string& port, int begin, int end)
    {
        aim(thread, port, begin, end);
        thread.setQuick(true);
        thread.setReplyMargin(generousMargin);
    }
};

TEST_F(IdentifyThreadTest, AReplyFromAnotherAddressIsRetriedWithinTheBudgetAndNotReported)
{
    const auto bus = simulate("COM5", {{5, 7}});
    VPanel::Sim::Faults faults;
    faults.wrongAddress = true;
    bus->setFaults(faults);
    QOIdentifyThread thread;
    aim(thread, "COM5", 5, 5);
    // The program's own budget: a loaded machine may otherwise spend a short one on one request.
    thread.setAddressBudget(QOIdentifyThread::defaultAddressBudget);
    const Scan scan = run(thread);

    EXPECT_TRUE(scan.found.isEmpty());
    EXPECT_TRUE(scan.alarms.isEmpty());
    EXPECT_EQ(scan.finishes, 1);
    // The device may take the last request off the line after the scan has ended.
    EXPECT_TRUE(waitFor([&] { return bus->counters(5).requestsOf(DeviceIdentification) >= 2u; }));
}

TEST_F(IdentifyThreadTest, AQuickScanAsksASilentAddressOnceAndAGarbledReplyAgain)
{
    // With this seed the second of the bus's replies is garbled: one retry, no device lost.
    constexpr std::uint32_t garblingSecondReply = 9;
    const auto bus = simulate("COM5", {{1, 7}, {2, 300}, {3, 12}}, {}, garblingSecondReply);
    VPanel::Sim::Faults faults;
    faults.corruptProbability = 0.05;
    bus->setFaults(faults);
    QOIdentifyThread thread;
    aimQuick(thread, "COM5", 1, 4);
    const Scan scan = run(thread);

    EXPECT_EQ(scan.addresses(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(bus->busCounters().corrupted, 1u);
    EXPECT_EQ(bus->busCounters().frames, 4u + 1u);
    const auto silentRange = std::chrono::ceil<std::chrono::milliseconds>(
        4 * VPanel::Link::quickSilentAddressTime(fastBaud, generousMargin));
    EXPECT_EQ(scan.scanning.first(), (QList<QVariant>{fastBaud, 1, static_cast<int>(silentRange.count())}));
}

TEST_F(IdentifyThreadTest, AQuickScanOverAnsweringAddressesAsksEachOnceAndLeavesTheBusTimeToTurnRound)
{
    constexpr int answering = 8;
    std::vector<std::pair<int, int>> devices;
    QList<int> addresses;
    for (int address = 1; address <= answering; ++address) {
        devices.emplace_back(address, 100 + address);
        addresses << address;
    }
    const auto bus = simulate("COM5", devices);
    // A request that follows a reply at once, before the bus is released, goes unheard.
    VPanel::Sim::Faults faults;
    faults.turnaround = QOIdentifyThread::requestPause;
    bus->setFaults(faults);
    QOIdentifyThread thread;
    aimQuick(thread, "COM5", 1, answering);
    thread.setBaud(115200);
    const Scan scan = run(thread);

    EXPECT_EQ(scan.addresses(), addresses);
    EXPECT_EQ(bus->busCounters().unheard, 0u);
    EXPECT_EQ(bus->busCounters().frames, static_cast<std::uint64_t>(answering));
    EXPECT_EQ(scan.finishes, 1);
}

TEST_F(IdentifyThreadTest, AStopEndsTheScanBeforeTheNextAddress)
{
    const auto bus = simulate("COM5", {{4, 7}});
    QOIdentifyThread thread;
    aim(thread, "COM5", 1, 249);
    // Asked from inside the scan, right after the second address, so the moment is exact.
    QObject::connect(
        &thread, &QOIdentifyThread::progress, &thread,
        [&thread](int done, int) {
            if (done == 2)
                thread.stope();
        },
        Qt::DirectConnection);
    const Scan scan = run(thread);

    EXPECT_EQ(scan.progress.last(), (QList<QVariant>{2, 249}));
    EXPECT_EQ(scan.finishes, 1);
    EXPECT_EQ(bus->counters(4).requestsOf(DeviceIdentification), 0u);
}

// A port whose driver refuses some rates, as on-board UARTs and USB chips do: setting one fails
// the way the port library reports a rate the line did not take.
class RefusingRates : public QOIdentifyThread {
public:
    explicit RefusingRates(QList<int> refused) : m_refused(std::move(refused)) {}

protected:
    void takeRate(KelComm::Serial::SystemSerialPort& port, int baud) const override
    {
        if (m_refused.contains(baud))
            throw KelComm::Serial::SerialPortSystemException(KelWin::ErrorMessage(EINVAL).text());
        QOIdentifyThread::takeRate(port, baud);
    }

private:
    QList<int> m_refused;
};

TEST_F(IdentifyThreadTest, RatesThePortRefusesAreSkippedAndToldOnce)
{
    constexpr int deviceBaud = 19200;
    const QList<int> bauds{fastBaud, 57600, deviceBaud};
    const auto bus = simulate("COM5", {{1, 7}}, {}, 1, deviceBaud);
    const struct {
        QList<int> refused;
        int found;
        QString told; // a notice when some rates were scanned, an alarm when none could be
        bool alarm;
    } cases[] = {
        {{fastBaud, 57600}, 1, "COM5: скорости, которых порт не принимает, пропущены: 921600, 57600 бод (Invalid argument)",
         false},
        {bauds, 0, "COM5: скорости, которых порт не принимает, пропущены: 921600, 57600, 19200 бод (Invalid argument)",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told.toStdString());
        RefusingRates thread(c.refused);
        aim(thread, "COM5", 1, 1);
        thread.setBauds(bauds);
        thread.setAddressBudget(QOIdentifyThread::defaultAddressBudget);
        const Scan scan = run(thread);

        EXPECT_EQ(scan.found.size(), c.found);
        EXPECT_EQ(c.alarm ? scan.alarms : scan.notices, QStringList{c.told});
        EXPECT_TRUE((c.alarm ? scan.notices : scan.alarms).isEmpty());
        // Each rate taken asked the one address; the refused ones left the total.
        const int scanned = static_cast<int>(bauds.size() - c.refused.size());
        EXPECT_EQ(scan.progress.last(), (QList<QVariant>{scanned, scanned}));
        EXPECT_EQ(scan.finishes, 1);
    }
}

// The scan run in the calling thread, so that a process that has just forked can run it.
class ScanHere : public QOIdentifyThread {
public:
    using QOIdentifyThread::run;
};

TEST_F(IdentifyThreadTest, APortThatKeepsTheUserOutNamesTheGroupToJoin)
{
    const group* dialout = getgrnam("dialout");
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !dialout || !nobody)
        GTEST_SKIP() << "needs root to give the port away, a dialout group and a nobody user";
    const gid_t dialoutId = dialout->gr_gid;
    const uid_t nobodyId = nobody->pw_uid;
    const gid_t nobodyGroup = nobody->pw_gid;
    const auto bus = simulate("COM5", {});
    // As a serial adapter's node is: the group may use it, others not. The port map must be
    // readable to the user the child becomes.
    ASSERT_EQ(chown(bus->devicePath().c_str(), 0, dialoutId), 0);
    ASSERT_EQ(chmod(bus->devicePath().c_str(), 0660), 0);
    ASSERT_EQ(chmod(std::getenv("KELCOMM_PORTS_DIR"), 0755), 0);

    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobodyId) != 0)
            _exit(2);
        ScanHere thread;
        aim(thread, "COM5", 1, 1);
        QString said;
        QObject::connect(&thread, &QOIdentifyThread::alarm, [&said](const QString& text) { said = text; });
        thread.run();
        const QByteArray bytes = said.toUtf8();
        _exit(write(channel[1], bytes.constData(), static_cast<std::size_t>(bytes.size())) == bytes.size() ? 0 : 3);
    }
    close(channel[1]);
    QByteArray bytes;
    char buffer[512];
    for (ssize_t count; (count = read(channel[0], buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<int>(count));
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    const QString device = QString::fromStdString(bus->devicePath());
    EXPECT_EQ(QString::fromUtf8(bytes).split('\n'),
              (QStringList{"COM5: Нет доступа к последовательному порту \"COM5\"",
                           "Устройство " + device + " принадлежит группе dialout: добавьте пользователя в эту группу "
                                                    "(sudo usermod -aG dialout nobody) и войдите в систему заново."}));
}

TEST_F(IdentifyThreadTest, APortThatCannotBeHadIsReportedAndEndsTheScan)
{
    // No such device; a name the port library refuses already when the port is created.
    for (const char* port : {"COM200", "LPT1"}) {
        QOIdentifyThread thread;
        aim(thread, port, 1, 10);
        const Scan scan = run(thread);

        const QString prefix = QString::fromLatin1(port) + ": ";
        ASSERT_EQ(scan.alarms.size(), 1) << port;
        EXPECT_TRUE(scan.alarms[0].startsWith(prefix)) << scan.alarms[0].toStdString();
        EXPECT_GT(scan.alarms[0].size(), prefix.size()) << port;
        EXPECT_TRUE(scan.found.isEmpty()) << port;
        EXPECT_EQ(scan.finishes, 1) << port;
        // Nothing will be asked on this port any more.
        EXPECT_EQ(scan.progress.last(), (QList<QVariant>{0, 0})) << port;
    }
}

} // namespace
