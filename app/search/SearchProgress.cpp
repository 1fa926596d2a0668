#include "app/search/SearchProgress.h"

#include <QStringList>

#include <algorithm>

namespace {
constexpr int millisecondsPerSecond = 1000;
} // namespace

void SearchProgress::count(const QString& port, int done, int total)
{
    Port& state = ports[port];
    state.done = done;
    state.total = total;
}

void SearchProgress::locate(const QString& port, int baud, int address, int left_ms)
{
    Port& state = ports[port];
    state.baud = baud;
    state.address = address;
    state.left_ms = left_ms;
}

void SearchProgress::finish(const QString& port) { ports[port].scanning = false; }

int SearchProgress::done() const
{
    int sum = 0;
    for (const Port& port : ports)
        sum += port.done;
    return sum;
}

int SearchProgress::total() const
{
    int sum = 0;
    for (const Port& port : ports)
        sum += port.total;
    return sum;
}

int SearchProgress::baudOf(const QString& port) const { return ports.value(port).baud; }

QString SearchProgress::text() const
{
    QStringList places;
    int left_ms = 0;
    for (auto port = ports.cbegin(); port != ports.cend(); ++port) {
        if (!port->scanning || port->address == 0)
            continue;
        places << tr("%1: %2 бод, адрес %3").arg(port.key()).arg(port->baud).arg(port->address);
        // Ports are scanned side by side: the slowest decides.
        left_ms = std::max(left_ms, port->left_ms);
    }
    if (places.isEmpty())
        return QString();
    const int left_s = (left_ms + millisecondsPerSecond - 1) / millisecondsPerSecond;
    return tr("%1; осталось около %2 с").arg(places.join(QStringLiteral("; "))).arg(left_s);
}
