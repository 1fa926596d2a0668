#pragma once

#include <QByteArray>

namespace VPanel::Server {

// A new account's password from `descriptor` (standard input): one line without its end, at most
// UserStore::maxPasswordBytes. On a terminal it asks on standard error and does not echo what is
// typed. Throws ServerException for an empty or over-long line.
QByteArray readPassword(int descriptor);

} // namespace VPanel::Server
