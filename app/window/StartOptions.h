#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTranslator>

// The program's own command line:
//   vpanel [--lang ru|en] [--connect PORT ADDRESS BAUD] [--list-ports] [--pin-port PORT]
//          [--remote mqtt://HOST[:PORT]/SITE/DEVICE] [--record FILE] [--print-display]
//          [--save-window FILE] [--help] [--version]
// --connect starts a connection at start-up as the device search's choice would, each given
// in a tab of its own; the port commands, like help and the version, are answered without a
// window.
class StartOptions {
    Q_DECLARE_TR_FUNCTIONS(StartOptions)

public:
    struct Connection {
        QString port;
        int address = 0;
        int baudRate = 0;
    };

    static constexpr int maxAddress = 255;
    static constexpr int minBaudRate = 75;
    static constexpr int maxBaudRate = 4'000'000;

    // Arguments without the program name (Qt's own options already taken out). An argument
    // that is wrong leaves `error` saying which.
    static StartOptions parse(const QStringList& arguments);
    // Help and the command line's errors are English under "--lang en", Russian under
    // "--lang ru", and otherwise follow the locale.
    static bool wantsEnglish(const QStringList& arguments);
    // Through `english` when given: help is printed before there is an application to
    // install a translator into.
    static QString usage(const QTranslator* english = nullptr);

    QList<Connection> connections; // in the order given, the first in the first tab
    QStringList remotes; // devices kept by gateways, each in a tab after the connections
    bool english = false;
    bool help = false;
    bool version = false;
    bool listPorts = false;
    QString pinPort; // the port to pin, or empty
    QString recordFile; // where the exchange is recorded from the start, or empty
    bool printDisplay = false;
    QString saveWindowFile; // the PNG the window is saved to as it closes, or empty
    QString error;
};
