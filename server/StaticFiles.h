#pragma once

#include <QHttpServerResponse>
#include <QString>

#include <optional>

namespace VPanel::Server {

// The program's own pages, scripts and styles, from its resources under ":/web/". Only a plain
// file name of that folder is served: a path with anything else (a folder, "..", an escaped
// character) is not found, whatever the resources hold.
std::optional<QHttpServerResponse> staticFile(const QString& path);

// Pages that show a device need a login; the login page, styles and scripts do not.
bool needsLogin(const QString& path);

} // namespace VPanel::Server
