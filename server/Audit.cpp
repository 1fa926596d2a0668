#include "server/Audit.h"

#include "server/FileDescriptor.h"

#include <QDateTime>

#include <unistd.h>

namespace VPanel::Server::Audit {

namespace {

constexpr int maxNameCharacters = 64;
constexpr int maxTextCharacters = 512;

// One write() a line: lines from several threads do not interleave.
void emitLine(const QString& event, const QString& details)
{
    const QString line = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + QLatin1Char(' ') +
                         event + (details.isEmpty() ? QString() : QLatin1Char(' ') + details) + QLatin1Char('\n');
    writeAll(STDERR_FILENO, line.toUtf8());
}

QString address(const QHostAddress& client) { return QLatin1String("address=") + client.toString(); }

// `text` quoted, with `"` `\` and whatever does not print or may break a line in a viewer escaped,
// cut after maxCharacters.
QString quoted(const QString& text, int maxCharacters)
{
    QString result = QStringLiteral("\"");
    int count = 0;
    for (const QChar c : text) {
        if (count == maxCharacters) {
            result += QLatin1String("...");
            break;
        }
        ++count;
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            result += QLatin1Char('\\') + c;
        } else if (c.isPrint() && c.category() != QChar::Separator_Line &&
                   c.category() != QChar::Separator_Paragraph) {
            result += c;
        } else {
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return result + QLatin1Char('"');
}

QString name(const QString& text) { return quoted(text, maxNameCharacters); }

} // namespace

void loginSucceeded(const QHostAddress& client, const QString& user)
{
    emitLine(QStringLiteral("login"), address(client) + QLatin1String(" user=") + name(user));
}

void loginFailed(const QHostAddress& client, const QString& user)
{
    emitLine(QStringLiteral("login-failed"), address(client) + QLatin1String(" user=") + name(user));
}

void loginThrottled(const QHostAddress& client)
{
    emitLine(QStringLiteral("login-throttled"), address(client));
}

void keyPressed(const QString& user, const QString& device, const QString& action, const QString& key)
{
    emitLine(QStringLiteral("key"), QLatin1String("user=") + name(user) + QLatin1String(" device=") + name(device) +
                                        QLatin1String(" action=") + name(action) + QLatin1String(" key=") + name(key));
}

void keyRefused(const QString& user, const QString& device, const QString& reason)
{
    emitLine(QStringLiteral("key-refused"), QLatin1String("user=") + name(user) + QLatin1String(" device=") +
                                                name(device) + QLatin1String(" reason=") +
                                                quoted(reason, maxTextCharacters));
}

void note(const QString& text) { emitLine(QStringLiteral("note"), quoted(text, maxTextCharacters)); }

} // namespace VPanel::Server::Audit
