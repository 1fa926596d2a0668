#pragma once

#include "app/search/QOFindDevice.h"
#include "app/search/QOIdentifyThread.h"
#include "sim/Simulator.h"

#include <QByteArray>
#include <QComboBox>
#include <QList>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace SearchTest {

using namespace std::chrono_literals;

// A scan budget short enough that a silent address costs little. Scans that must find a device
// keep the program's own budget: a loaded machine may carry a reply late through the
// pseudo-terminal, and a reply read past its address's budget is lost to the scan.
inline constexpr std::chrono::milliseconds shortBudget{150};
inline constexpr int fastBaud = 921600;
// For thorough scans that must find a device: a rate whose response timeout a loaded machine
// meets, so that late replies do not pile up behind repeated requests and glue together into
// one read.
inline constexpr int steadyBaud = 19200;
// What the quick scans of the tests wait beyond the wire: a loaded machine may carry a reply
// through the pseudo-terminal far later than a real line would.
inline constexpr std::chrono::milliseconds generousMargin{500};

// A process of its own for the search: temporary port map, system table, settings and
// dictionary.
class SearchEnvironment : public ::testing::Test {
protected:
    SearchEnvironment();
    ~SearchEnvironment() override;

    QString dictionaryPath() const { return scratchPath("dictionary.txt"); }
    void writeDictionary(const QString& lines) const;
    void removeDictionary() const;
    // A port-map link COMn to the target.
    void linkPort(const QString& portName, const QString& target) const;
    // A port-map file COMn naming a device server by its URL.
    void nameServer(const QString& portName, const std::string& url) const;
    // Makes the system table of serial devices disappear.
    void removePortTable() const;
    QString sysfsPath() const { return sysfs.path(); }
    QString stableNamesPath() const { return scratchPath("by-id"); }
    QString scratchPath(const QString& name) const { return scratch.filePath(name); }

    // The simulated bus on a port of the map; devices as (address, identifier). With none it
    // holds one at 250, an address no search reaches. With an own rate the devices hear only
    // requests sent at it.
    std::unique_ptr<VPanel::Sim::Simulator> simulate(const std::string& portName,
                                                      const std::vector<std::pair<int, int>>& devices,
                                                      const VPanel::Sim::DeviceQuirks& quirks = {},
                                                      std::uint32_t seed = 1, unsigned ownRate = 0) const;

private:
    QTemporaryDir ports;
    QTemporaryDir sysfs;
    QTemporaryDir settings;
    QTemporaryDir scratch;
};

// The window with the test's dictionary and a short address budget unless told otherwise; it
// keeps the threads it made.
class TestFindDevice : public QOFindDevice {
public:
    explicit TestFindDevice(const QString& dictionaryPath, QWidget* parent = nullptr)
        : QOFindDevice(parent, {dictionaryPath})
    {
    }

    std::chrono::milliseconds addressBudget = shortBudget;
    std::chrono::milliseconds replyMargin = generousMargin;
    QList<QPointer<QOIdentifyThread>> made;
    // How many of the threads ran when the first device was reported; -1 before that.
    int runningAtFirstFind = -1;

protected:
    QOIdentifyThread* createThread() override;
};

// Waits, serving events, until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s);

template <class T>
T* part(const QWidget& window, const char* name)
{
    return window.findChild<T*>(QString::fromLatin1(name));
}

QStringList texts(const QListWidget* list);
// The port names the port box offers after "all ports".
QStringList portsOffered(const QWidget& window);
// Chooses port, addresses and baud rate by their texts.
void choose(const QWidget& window, const QString& port, int begin, int end, int baud = fastBaud);
bool idle(const QWidget& window);
// Clicks find and waits until the window is idle again.
void searchAndWait(const QWidget& window, std::chrono::milliseconds limit = 10s);

} // namespace SearchTest
