#pragma once

#include "host/DeviceSpec.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace VPanel::Gateway {

// The program's command line, or the same from an INI file as QSettings writes it:
//   [General] broker=..., site=..., username=..., password-file=..., cafile=..., lang=en
//   [devices] NAME=PORT,ADDRESS,BAUD (one line a device)
// What the command line gives overrides the file; devices from both are kept.
struct GatewayOptions {
    // Arguments without the program name. A wrong one leaves `error` saying which.
    static GatewayOptions parse(const QStringList& arguments);
    static QString usage(bool english);

    QString broker;
    QString site;
    std::vector<Host::DeviceSpec> devices;
    QString username;
    QString passwordFile;
    QString caFile;
    bool english = false;
    bool languageGiven = false;  // by --lang or the file; else the locale decides
    bool help = false;
    bool version = false;
    QString error;
};

// The first line of a password file. Throws GatewayException for a file group or others may
// read, a file over 4 KiB, or one that cannot be read.
QString readPasswordFile(const QString& path);

} // namespace VPanel::Gateway
