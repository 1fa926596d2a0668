#pragma once

#include "host/DeviceSpec.h"
#include "server/Role.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace VPanel::Server {

// The program's settings: from a configuration file (--config FILE, INI as QSettings writes it)
// and the command line, whose values win over the file's.
//   [server]  users=FILE  listen=HOST:PORT  cert=FILE  key=FILE  insecure-http=true  lang=ru|en
//             devices="NAME=PORT,ADDRESS,BAUD", ...
//   [devices] NAME=PORT,ADDRESS,BAUD  (one key a device)
// Relative paths in the file are taken from the file's folder.
struct ServerOptions {
    Q_DECLARE_TR_FUNCTIONS(ServerOptions)

public:
    static constexpr quint16 defaultPort = 8080;
    static constexpr qint64 maxConfigBytes = 1024 * 1024;

    QString usersFile;
    QStringList deviceSpecs; // "NAME=PORT,ADDRESS,BAUD" each, as given
    std::vector<Host::DeviceSpec> devices; // the same, read, the names distinct
    QHostAddress listenAddress = QHostAddress::LocalHost;
    quint16 listenPort = defaultPort;
    QString certFile, keyFile;
    bool insecureHttp = false;
    bool english = false; // --lang en: the server's own texts and the device events
    QString addUser, removeUser;
    std::optional<Role> role;
    bool help = false, version = false;
    QString error; // set when the settings cannot be used, saying what is wrong and the fix

    // Arguments without the program name.
    static ServerOptions parse(const QStringList& arguments);
    // In the language of the installed translators.
    static QString usage();
};

} // namespace VPanel::Server
