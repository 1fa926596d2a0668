#pragma once

#include "link/LineTiming.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace KelComm::Serial {
class SystemSerialPort;
}

// Scans one serial port for devices: the device identification request goes to each address
// of the range in turn, at each baud rate in turn. A thorough scan repeats it until a valid
// reply comes or the address's time budget is spent; a quick one waits only as long as the
// reply takes on the wire and asks again only when what came back failed the checks. Both end
// an address's wait at the last byte of a reply that checks. The thread owns its port for the
// whole scan.
class QOIdentifyThread : public QThread {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultAddressBudget = VPanel::Link::repeatBudget;
    // Noise or a collision garbles a reply now and then; a silent address is not asked again.
    static constexpr int quickRetries = 2;
    // Beyond the 3.5 characters of silence, what the line keeps before the next request once a
    // reply has ended with its last byte: an RS-485 device releases the bus a moment later.
    static constexpr std::chrono::milliseconds requestPause{1};

    QOIdentifyThread() = default;

    void setScanPort(const QString& port) { scanPort = port; }
    void setRange(int begin, int end);
    void setBaud(int baud) { scanBauds = {baud}; }
    // The rates scanned one after another, the whole range at each.
    void setBauds(const QList<int>& bauds) { scanBauds = bauds; }
    // How long one address is asked before the thorough scan moves on; checked after each attempt.
    void setAddressBudget(std::chrono::milliseconds budget) { addressBudget = budget; }
    void setQuick(bool quick) { quickScan = quick; }
    // What the quick scan waits beyond the wire time of request and reply.
    void setReplyMargin(std::chrono::milliseconds margin) { replyMargin = margin; }
    // The scan ends at the first device that answers.
    void setStopAtFirst(bool stop) { stopAtFirst = stop; }

    // The addresses a scan from begin to end asks, none when begin is above end.
    static int addressCount(int begin, int end);

signals:
    // Port name; width = bus address, height = device identifier.
    void add(QString port, QSize info);
    void alarm(QString text);
    // Something the user should know that does not end the scan.
    void notice(QString text);
    // Emitted once, when the scan has ended for whatever reason.
    void finish();
    // Addresses asked so far out of those the scan will ask, over all its rates. A scan that
    // fails or ends at its first device lowers the total to what it had done, a stopped one
    // leaves it; a rate the port refuses takes its addresses off the total.
    void progress(int done, int total);
    // Before each address: the rate and address about to be asked, and how long the rest of the
    // scan takes if no more devices answer.
    void scanning(int baud, int address, int left_ms);

public slots:
    void stope();

protected:
    void run() override;
    // Sets the open port to the rate, with the response timeout that suits it; throws what the
    // port throws when its driver refuses the rate.
    virtual void takeRate(KelComm::Serial::SystemSerialPort& port, int baud) const;

private:
    // The port opened on the line as it is; each rate is set afterwards.
    std::unique_ptr<KelComm::Serial::SystemSerialPort> openPort() const;
    // Scans at each rate the port takes; the rates it refuses are skipped and told once.
    void scanRates(KelComm::Serial::SystemSerialPort& port);
    void reportFailure(const std::exception& error);
    // False when the scan is to end: stopped, or a device found by a scan that stops at it.
    bool scan(KelComm::Serial::SystemSerialPort& port, int baudIndex);
    std::optional<std::uint16_t> identify(KelComm::Serial::SystemSerialPort& port, int baud, int address) const;
    // What an address that does not answer costs at the rate.
    std::chrono::microseconds silentAddressTime(int baud) const;
    std::chrono::milliseconds timeLeft(int baudIndex, int address) const;

    QString scanPort;
    int beginAddress = 1;
    int endAddress = 1;
    QList<int> scanBauds{9600};
    int done = 0;
    int total = 0;
    std::chrono::milliseconds addressBudget = defaultAddressBudget;
    bool quickScan = false;
    std::chrono::milliseconds replyMargin = VPanel::Link::quickReplyMargin;
    bool stopAtFirst = false;
    std::atomic<bool> stopRequested = false;
};
