#pragma once

#include <QCoreApplication>
#include <QMap>
#include <QString>

// What the search window shows of a search under way: addresses asked out of addresses to ask
// over all ports, and for each port still scanning the rate and address it asks and the time
// the slowest of them has left.
class SearchProgress {
    Q_DECLARE_TR_FUNCTIONS(SearchProgress)

public:
    void clear() { ports.clear(); }
    void count(const QString& port, int done, int total);
    void locate(const QString& port, int baud, int address, int left_ms);
    // The port's scan has ended; its addresses stay counted.
    void finish(const QString& port);

    int done() const;
    int total() const;
    // The rate the port is scanned at, 0 before its first address.
    int baudOf(const QString& port) const;
    // One line; empty when no port is scanning.
    QString text() const;

private:
    struct Port {
        int done = 0;
        int total = 0;
        int baud = 0;
        int address = 0;
        int left_ms = 0;
        bool scanning = true;
    };

    // By name, so that the line lists the ports in order.
    QMap<QString, Port> ports;
};
