#pragma once

#include <QCoreApplication>
#include <QString>

#include <ostream>

// The command line's port commands, answered without a display. Each gives the program's
// exit code.
class PortCommands {
    Q_DECLARE_TR_FUNCTIONS(PortCommands)

public:
    static constexpr int exitRefused = 1;

    // One line per installed port: its name, device node, stable name ("-" when it has
    // none) and description, separated by tabs.
    static int listPorts(std::wostream& out, std::wostream& errors);
    // Links the port's name in the port map to its stable name.
    static int pinPort(const QString& portName, std::wostream& out, std::wostream& errors);
};
