#pragma once

#include "app/display/SymbolMatrix.h"
#include "link/LineTiming.h"
#include "panel/DeviceLink.h"
#include "panel/LinkEvent.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace VPanel::Panel {
class ExchangeRecorder;
}

// The window knows the core's events and recorder by these names.
using LinkEvent = VPanel::Panel::LinkEvent;
using VPanel::Panel::eventCode;
using ExchangeRecorder = VPanel::Panel::ExchangeRecorder;

// One connection with one device, for the window: a thread that runs the panel core's
// connection (VPanel::Panel::DeviceLink) and turns what it learns into queued signals, its
// texts translated. One object serves one connection and is never restarted.
//
// The GUI thread sets the parameters before start() and afterwards only presses and releases
// keys, queued for the connection's next requests, and asks it to stop.
class QOTransmissionThread : public QThread, private VPanel::Panel::LinkObserver {
    Q_OBJECT

public:
    // Default write interval, also the gap that ends a reply on the line.
    static constexpr int defaultWriteInterval_ms = static_cast<int>(VPanel::Link::defaultWriteInterval.count());
    static int defaultRequestPause_ms()
    {
        return static_cast<int>(VPanel::Panel::LinkParameters{}.requestPause.count());
    }

    explicit QOTransmissionThread(QObject* parent = nullptr);
    ~QOTransmissionThread() override;

    // Parameters; set before start().
    void setPortName(const QString& portName) { m_portName = portName; }
    void setAddress(int address) { m_address = address; }
    void setBaudRate(int baudRate) { m_baudRate = baudRate; }
    void setWriteInterval(int interval_ms) { m_writeInterval_ms = interval_ms; }
    void setRequestPause(int pause_ms) { m_requestPause_ms = pause_ms; }
    void setIntervalAfterReply(bool wait) { m_intervalAfterReply = wait; }
    // 0 Russian, 1 English.
    void setLanguage(int language) { m_language = static_cast<std::uint16_t>(language); }

    // Where the frames of the line are recorded from now on; null stops recording. Callable
    // while the connection runs.
    void setRecorder(std::shared_ptr<ExchangeRecorder> recorder);

    QString portName() const { return m_portName; }
    int address() const { return m_address; }
    int baudRate() const { return m_baudRate; }
    int writeInterval() const { return m_writeInterval_ms; }
    int language() const { return m_language; }
    // What the connection is given when it starts.
    VPanel::Panel::LinkParameters linkParameters(std::map<int, std::string> deviceNames) const;

    // How long the worker may take, after the stop flag is set, to finish the request in
    // flight, send the stop packet and close the port, at this baud rate and write interval.
    // A window that closes calls stope() and then wait()s at most this long.
    std::chrono::milliseconds stopWaitBound() const;

signals:
    // code: a LinkEvent.
    void alarm(int code, QString text);
    void sizeIndicators(int rows, int places);
    // The glyph travels by value: a plain queued connection is enough. With a blocking one,
    // a GUI thread that waits for the worker must not wait past stopWaitBound().
    void setSymbolMatrix(char code, SymbolMatrix matrix);
    // A changed display row: `count` bytes from column `start`; the bytes travel by value.
    void setCells(int row, int start, QByteArray symbols, int count);
    void setMatrixSymbolSize(int columns, int rows);
    void resetView();
    void deviceIdentif(int identifier);

public slots:
    // Asks the connection to stop. It honours that before its next request, also while still
    // identifying or loading glyphs, with event 6 and the stop packet.
    void stope();
    // Holds the key of this scan code; ScanCode::Stop asks the connection to stop.
    void codePress(int cods);
    void codeRelease(int cods);

protected:
    void run() override;

private:
    void linkEvent(const VPanel::Panel::Event& event) override;
    void consoleSized(int rows, int places) override;
    void glyphChanged(int code, const VPanel::Link::DotMatrix& dots) override;
    void rowChanged(int row, const std::vector<std::uint8_t>& cells) override;
    void viewReset() override;
    void deviceIdentified(int identifier) override;

    // To the running connection, or kept for it until it runs.
    void forwardKey(int code, bool pressed);

    QString m_portName;
    int m_address = 0;
    int m_baudRate = 9600;
    int m_writeInterval_ms = defaultWriteInterval_ms;
    int m_requestPause_ms = defaultRequestPause_ms();
    bool m_intervalAfterReply = false;
    std::uint16_t m_language = 0;

    // What the GUI thread asks before the connection runs waits here for it.
    std::mutex m_linkMutex;
    std::unique_ptr<VPanel::Panel::DeviceLink> m_link;
    std::vector<std::pair<int, bool>> m_earlyKeys; // scan code, pressed
    std::shared_ptr<ExchangeRecorder> m_recorder;
    bool m_stop = false;
};
