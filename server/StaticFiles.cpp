#include "server/StaticFiles.h"

#include "server/HttpReply.h"

#include <QFile>
#include <QRegularExpression>

namespace VPanel::Server {

namespace {
QByteArray mimeTypeOf(const QString& name)
{
    if (name.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    if (name.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (name.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (name.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    return "image/png";
}
} // namespace

bool needsLogin(const QString& path)
{
    return path.endsWith(QLatin1String(".html")) && path != QLatin1String("/login.html");
}

std::optional<QHttpServerResponse> staticFile(const QString& path)
{
    static const QRegularExpression plainName(QStringLiteral("^/([a-z0-9][a-z0-9_-]*\\.(html|css|js|svg|png))$"));
    const QRegularExpressionMatch match = plainName.match(path);
    if (!match.hasMatch())
        return std::nullopt;
    const QString name = match.captured(1);
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Http::content(mimeTypeOf(name), file.readAll());
}

} // namespace VPanel::Server
