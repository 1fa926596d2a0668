#pragma once

#include <QList>
#include <QString>

// One port as the search offers it: its name, and the text shown for it, the name with what
// the system tells of the port ("COM34 — FT232R USB UART, A10K3X, ftdi_sio").
struct PortChoice {
    QString name;
    QString label;
    // False for a pinned adapter that is unplugged: offered, but not scanned with all ports.
    bool connected = true;
};

struct PortChoices {
    QList<PortChoice> ports; // by port number
    // Why the kernel's table could not be read, or empty; the port map's ports are there all the same.
    QString failure;

    bool contains(const QString& name) const;
    // Puts the port in its place by number.
    void insert(const PortChoice& port);
};

// The installed ports, read afresh.
PortChoices readPortChoices();
