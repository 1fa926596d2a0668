#include "app/search/QOIdentifyThread.h"
#include "app/link/Packet.h"
#include "tests/app/search/SearchTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

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
    };

    static Scan run(QOIdentifyThread& thread)
    {
        QSignalSpy found(&thread, &QOIdentifyThread::add);
        QSignalSpy alarms(&thread, &QOIdentifyThread::alarm);
        QSignalSpy progress(&thread, &QOIdentifyThread::progress);
        QSignalSpy finishes(&thread, &QOIdentifyThread::finish);
        QSignalSpy scanning(&thread, &QOIdentifyThread::scanning);
        thread.start();
        EXPECT_TRUE(thread.wait(10000));
        QCoreApplication::processEvents();
        Scan scan{{found.begin(), found.end()}, {}, {progress.begin(), progress.end()},
                  static_cast<int>(finishes.count()), {scanning.begin(), scanning.end()}};
        for (const QList<QVariant>& alarm : alarms)
            scan.alarms << alarm.at(0).toString();
        return scan;
    }

    static void aim(QOIdentifyThread& thread, const std::string& port, int begin, int end)
    {
        thread.setScanPort(QString::fromStdString(port));
        thread.setRange(begin, end);
        thread.setBaud(fastBaud);
        thread.setAddressBudget(shortBudget);
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
    const Scan scan = run(thread);

    EXPECT_TRUE(scan.found.isEmpty());
    EXPECT_TRUE(scan.alarms.isEmpty());
    EXPECT_EQ(scan.finishes, 1);
    EXPECT_GE(bus->counters(5).requestsOf(DeviceIdentification), 2u);
}

TEST_F(IdentifyThreadTest, AQuickScanAsksASilentAddressOnceAndAGarbledReplyAgain)
{
    // With this seed the second of the bus's replies is garbled: one retry, no device lost.
    constexpr std::uint32_t garblingSecondReply = 9;
    const auto bus = simulate("COM5", {{2, 7}, {5, 300}, {7, 12}}, {}, garblingSecondReply);
    VPanel::Sim::Faults faults;
    faults.corruptProbability = 0.05;
    bus->setFaults(faults);
    QOIdentifyThread thread;
    aim(thread, "COM5", 1, 8);
    thread.setQuick(true);
    thread.setReplyMargin(generousMargin);
    const Scan scan = run(thread);

    QList<int> found;
    for (const QList<QVariant>& device : scan.found)
        found << device.at(1).toSize().width();
    EXPECT_EQ(found, (QList<int>{2, 5, 7}));
    EXPECT_EQ(bus->busCounters().corrupted, 1u);
    EXPECT_EQ(bus->busCounters().frames, 8u + 1u);
    const auto silentAddress = VPanel::Link::quickResponseTimeout(fastBaud, generousMargin);
    EXPECT_EQ(scan.scanning.first(), (QList<QVariant>{fastBaud, 1, static_cast<int>(8 * silentAddress.count())}));
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
