#pragma once

#include "app/link/LineTiming.h"

#include <QSize>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace KelComm::Serial {
class SystemSerialPort;
}

// Scans one serial port for devices: the device identification request goes to each address
// of the range in turn, each repeated until a valid reply comes or the address's time budget
// is spent. The thread owns its port for the whole scan.
class QOIdentifyThread : public QThread {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultAddressBudget = VPanel::Link::repeatBudget;

    QOIdentifyThread() = default;

    void setScanPort(const QString& port) { scanPort = port; }
    void setRange(int begin, int end);
    void setBaud(int baud) { scanBaud = baud; }
    // How long one address is asked before the scan moves on; checked after each attempt.
    void setAddressBudget(std::chrono::milliseconds budget) { addressBudget = budget; }

    // The addresses a scan from begin to end asks, none when begin is above end.
    static int addressCount(int begin, int end);

signals:
    // Port name; width = bus address, height = device identifier.
    void add(QString port, QSize info);
    void alarm(QString text);
    // Emitted once, when the scan has ended for whatever reason.
    void finish();
    // Addresses asked so far out of those the scan will ask. A scan that fails lowers the
    // total to what it had done, a stopped one leaves it.
    void progress(int done, int total);

public slots:
    void stope();

protected:
    void run() override;

private:
    void scan(KelComm::Serial::SystemSerialPort& port);
    std::optional<std::uint16_t> identify(KelComm::Serial::SystemSerialPort& port, int address) const;

    QString scanPort;
    int beginAddress = 1;
    int endAddress = 1;
    int scanBaud = 9600;
    int done = 0;
    std::chrono::milliseconds addressBudget = defaultAddressBudget;
    std::atomic<bool> stopRequested = false;
};
