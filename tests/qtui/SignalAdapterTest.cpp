#include "qtui/KelSignalAdapterBase.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

namespace {

class Target : public QObject {
    Q_OBJECT

public:
    QString received;
    QThread* receivedIn = nullptr;

public slots:
    void report(const QString& text, int number)
    {
        received = QString("%1/%2").arg(text).arg(number);
        receivedIn = QThread::currentThread();
    }
};

class Adapter : public KelBase::QtUI::KelSignalAdapterBase {
public:
    explicit Adapter(QObject* target) : KelSignalAdapterBase(target) {}
    using KelSignalAdapterBase::invokeSignal;
};

TEST(SignalAdapter, QueuesTheCallUnlessToldOtherwise)
{
    Target target;
    Adapter adapter(&target);
    ASSERT_TRUE(adapter.invokeSignal("report", Q_ARG(QString, "a"), Q_ARG(int, 1)));
    EXPECT_TRUE(target.received.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(target.received, "a/1");

    ASSERT_TRUE(adapter.invokeSignal("report", Qt::DirectConnection, Q_ARG(QString, "b"), Q_ARG(int, 2)));
    EXPECT_EQ(target.received, "b/2");
}

TEST(SignalAdapter, CallFromAWorkerArrivesInTheTargetsThread)
{
    Target target;
    Adapter adapter(&target);
    bool invoked = false;
    std::thread worker([&] { invoked = adapter.invokeSignal("report", Q_ARG(QString, "c"), Q_ARG(int, 3)); });
    worker.join();
    ASSERT_TRUE(invoked);
    QCoreApplication::processEvents();
    EXPECT_EQ(target.received, "c/3");
    EXPECT_EQ(target.receivedIn, QThread::currentThread());
}

TEST(SignalAdapter, UnknownMethodOrNoTargetReturnsFalse)
{
    Target target;
    Adapter adapter(&target);
    EXPECT_FALSE(adapter.invokeSignal("noSuchSignal"));
    EXPECT_FALSE(adapter.invokeSignal("report", Q_ARG(int, 1)));
    EXPECT_FALSE(Adapter(nullptr).invokeSignal("report", Q_ARG(QString, "d"), Q_ARG(int, 4)));
}

} // namespace

#include "SignalAdapterTest.moc"
