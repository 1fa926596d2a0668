#include "app/search/ScanRun.h"

#include "app/search/QOIdentifyThread.h"

#include <utility>

ScanRun::ScanRun(ThreadFactory makeThread) : m_makeThread(std::move(makeThread)) {}

ScanRun::~ScanRun()
{
    for (const QPointer<QOIdentifyThread>& thread : std::as_const(m_threads)) {
        if (thread) {
            thread->stope();
            thread->wait();
            delete thread.data();
        }
    }
}

void ScanRun::start(const ScanPlan& plan)
{
    m_plan = plan;
    m_running = 0;
    m_progress.clear();
    m_threads.removeAll(nullptr);
    for (const QString& port : plan.ports)
        startThread(port);
}

void ScanRun::stop()
{
    for (const QPointer<QOIdentifyThread>& thread : std::as_const(m_threads))
        if (thread)
            thread->stope();
}

int ScanRun::baudOf(const QString& port) const
{
    return m_plan.bauds.size() == 1 ? m_plan.bauds.first() : m_progress.baudOf(port);
}

void ScanRun::startThread(const QString& port)
{
    QOIdentifyThread* thread = m_makeThread();
    connect(thread, &QOIdentifyThread::alarm, this, &ScanRun::alarm);
    connect(thread, &QOIdentifyThread::notice, this, &ScanRun::notice);
    connect(thread, &QOIdentifyThread::add, this, &ScanRun::found);
    connect(thread, &QOIdentifyThread::progress, this, [this, port](int done, int total) {
        m_progress.count(port, done, total);
        emit progressChanged();
    });
    // Queued in the order sent, so the rate of a device is known when it is reported.
    connect(thread, &QOIdentifyThread::scanning, this, [this, port](int baud, int address, int left_ms) {
        m_progress.locate(port, baud, address, left_ms);
        emit progressChanged();
    });
    connect(thread, &QOIdentifyThread::finish, this, [this, port] {
        m_progress.finish(port);
        emit progressChanged();
        if (m_running > 0 && --m_running == 0)
            emit ended();
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->setScanPort(port);
    thread->setRange(m_plan.beginAddress, m_plan.endAddress);
    thread->setBauds(m_plan.bauds);
    thread->setQuick(m_plan.quick);
    thread->setStopAtFirst(m_plan.stopAtFirst);
    m_progress.count(port, 0,
                     QOIdentifyThread::addressCount(m_plan.beginAddress, m_plan.endAddress) *
                         static_cast<int>(m_plan.bauds.size()));
    m_threads << thread;
    thread->start(QThread::InheritPriority);
    ++m_running;
    emit progressChanged();
}
