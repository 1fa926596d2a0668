#pragma once

#include "app/search/SearchProgress.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QOIdentifyThread;

// What one search asks: the ports, the address range and the rates in the order asked.
struct ScanPlan {
    QStringList ports;
    int beginAddress = 0;
    int endAddress = 0;
    QList<int> bauds;
    bool quick = false;
    bool stopAtFirst = false;
};

// A device that answered, where and at what rate: what choosing it connects to.
struct FoundDevice {
    QString port;
    int address = 0;
    int baud = 0;
};
Q_DECLARE_METATYPE(FoundDevice)

// One search under way: a scanning thread per port, their progress, and the end of the
// search once every port has finished. A thread that has ended frees itself; those still
// running when the run is destroyed are stopped and waited for, so that none outlives it.
class ScanRun : public QObject {
    Q_OBJECT

public:
    using ThreadFactory = std::function<QOIdentifyThread*()>;

    explicit ScanRun(ThreadFactory makeThread);
    ~ScanRun() override;

    void start(const ScanPlan& plan);
    bool running() const { return m_running > 0; }
    const ScanPlan& plan() const { return m_plan; }
    const SearchProgress& progress() const { return m_progress; }
    // The rate at which the port is asked now, which a device it reports answered at.
    int baudOf(const QString& port) const;

public slots:
    // Each port's scan ends with the attempt under way.
    void stop();

signals:
    void alarm(QString text);
    void notice(QString text);
    void found(QString port, QSize info);
    void progressChanged();
    // Every port's scan has ended.
    void ended();

private:
    void startThread(const QString& port);

    ThreadFactory m_makeThread;
    ScanPlan m_plan;
    SearchProgress m_progress;
    QList<QPointer<QOIdentifyThread>> m_threads;
    int m_running = 0;
};
