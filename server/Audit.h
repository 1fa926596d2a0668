#pragma once

#include <QHostAddress>
#include <QString>

// The audit trail: one line each on standard error (journald keeps it under systemd), starting
// with the UTC time in ISO form. Never a password or a token. Whatever came from outside is
// quoted with control characters escaped and cut to a bound, so it cannot forge or flood lines.
namespace VPanel::Server::Audit {

void loginSucceeded(const QHostAddress& client, const QString& user);
void loginFailed(const QHostAddress& client, const QString& user); // the name as typed
void loginThrottled(const QHostAddress& client);
void keyPressed(const QString& user, const QString& device, const QString& action, const QString& key);
void keyRefused(const QString& user, const QString& device, const QString& reason);
void note(const QString& text);

} // namespace VPanel::Server::Audit
