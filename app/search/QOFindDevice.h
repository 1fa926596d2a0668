#pragma once

#include "datafiles/DeviceDictionary.h"
#include "app/search/FindDeviceForm.h"
#include "app/search/PortChoices.h"
#include "app/search/ScanRun.h"
#include "app/search/SearchChoices.h"

#include <QHash>
#include <QList>
#include <QMovie>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCloseEvent;
class QEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QOIdentifyThread;
class QResizeEvent;
class PortWatcher;

// The device search window: scans a range of bus addresses at one baud rate or at all of them,
// on one serial port or on all of them at once, one thread per port, and lists the devices
// that answer. Choosing a found device once the search has ended hands its port, address and
// the baud rate it answered at on through setParam (for the current tab) or openInNewTab, and
// closes the window. Ports in use by open devices are not scanned. The scans still
// running when the window goes are stopped and waited for, so that no thread outlives it.
class QOFindDevice : public QWidget {
    Q_OBJECT

public:
    // A window of type Qt::Dialog over the parent.
    explicit QOFindDevice(QWidget* parent = nullptr);

    // The ports that open devices hold: a search passes them by, saying so.
    void setPortsInUse(const QStringList& portNames) { portsInUse = portNames; }

signals:
    void stop();
    void setParam(QString port, int address, int baud);
    void openInNewTab(QString port, int address, int baud);

public slots:
    void on_stopButton_clicked();
    void on_findButton_clicked();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_newTabButton_clicked();
    void alarms(QString text);
    void addDevice(QString port, QSize info);
    void finish();
    void selected(QListWidgetItem* item);
    void rachet_Label();

protected:
    // Reads the dictionary from the first of the paths that can be opened.
    QOFindDevice(QWidget* parent, const QStringList& dictionaryPaths);

    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Makes the scanning thread of one port.
    virtual QOIdentifyThread* createThread();

private:
    void retranslate();
    void readDictionary(const QStringList& paths);
    void readPorts();
    // Brings the port box in line with the ports installed now. A port being scanned stays
    // until its search has ended.
    void followPorts();
    // Fills the port box, keeping the port chosen.
    void showPorts(const PortChoices& choices);
    void showChoices(const SearchChoices& choices);
    SearchChoices choices() const;
    // The rates of the rate list, fastest first when all are chosen.
    QList<int> chosenBauds() const;
    void stopAnimation();
    void addMessage(QListWidget* list, const QString& text);
    void markDetails();
    void choose(QListWidgetItem* item, bool newTab);
    void showProgress();

    FindDeviceForm form;
    QStringList ports;
    // The ports a search of all ports scans: those whose device is there.
    QStringList connectedPorts;
    QStringList portsInUse;
    // The box's text of each port: its name and what the system tells of it.
    QHash<QString, QString> portLabels;
    PortWatcher* portWatcher = nullptr;
    bool portsChangedWhileScanning = false;
    QMovie busyMovie{QStringLiteral(":/Resources/load.gif")};
    QLabel* busyLabel = nullptr;
    bool deviceFound = false;
    bool searchDone = false;
    VPanel::DeviceDictionary dictionary;
    ScanRun scan{[this] { return createThread(); }};
};
