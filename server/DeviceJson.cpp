#include "server/DeviceJson.h"

#include <QDateTime>

namespace VPanel::Server::DeviceJson {

namespace {
QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

QJsonValue secondsUntil(const std::optional<QDateTime>& moment)
{
    if (!moment)
        return QJsonValue::Null;
    return qMax<qint64>(0, (QDateTime::currentDateTimeUtc().msecsTo(*moment) + 999) / 1000);
}

QJsonArray rowTexts(const Host::DeviceSnapshot& snapshot)
{
    QJsonArray rows;
    for (const QString& row : snapshot.rowTexts)
        rows.append(row);
    return rows;
}

QJsonObject where(const Host::KeptDevice& device)
{
    const Host::DeviceSpec& definition = device.definition();
    return {{QStringLiteral("name"), text(definition.name)},
            {QStringLiteral("port"), text(definition.port)},
            {QStringLiteral("address"), definition.address},
            {QStringLiteral("baud"), definition.baudRate}};
}

void addState(QJsonObject& object, const Host::DeviceSnapshot& snapshot)
{
    object.insert(QStringLiteral("state"), QLatin1String(Host::linkStateName(snapshot.state)));
    object.insert(QStringLiteral("deviceName"), snapshot.deviceName);
    object.insert(QStringLiteral("identifier"), snapshot.identifier);
    object.insert(QStringLiteral("identity"), snapshot.identity);
    object.insert(QStringLiteral("retryInSeconds"), secondsUntil(snapshot.retryAt));
}
} // namespace

QJsonObject summary(const Host::KeptDevice& device)
{
    const Host::DeviceSnapshot snapshot = device.snapshot();
    QJsonObject object = where(device);
    addState(object, snapshot);
    object.insert(QStringLiteral("consoleOn"), snapshot.consoleOn);
    object.insert(QStringLiteral("alarm"), snapshot.alarm);
    return object;
}

QJsonObject screen(const Host::KeptDevice& device)
{
    const Host::DeviceSnapshot snapshot = device.snapshot();
    return {{QStringLiteral("name"), text(device.definition().name)},
            {QStringLiteral("state"), QLatin1String(Host::linkStateName(snapshot.state))},
            {QStringLiteral("rows"), rowTexts(snapshot)},
            {QStringLiteral("rowCount"), snapshot.rows},
            {QStringLiteral("places"), snapshot.places},
            {QStringLiteral("consoleOn"), snapshot.consoleOn},
            {QStringLiteral("alarm"), snapshot.alarm},
            {QStringLiteral("seq"), static_cast<qint64>(snapshot.screenSequence)}};
}

QJsonObject stateMessage(const Host::KeptDevice& device)
{
    QJsonObject object = where(device);
    object.remove(QStringLiteral("name"));
    addState(object, device.snapshot());
    object.insert(QStringLiteral("type"), QStringLiteral("state"));
    return object;
}

QJsonObject screenMessage(const Host::DeviceSnapshot& snapshot)
{
    QJsonArray cells;
    for (const auto& row : snapshot.cells) {
        QJsonArray codes;
        for (const std::uint8_t code : row)
            codes.append(code);
        cells.append(codes);
    }
    return {{QStringLiteral("type"), QStringLiteral("screen")},
            {QStringLiteral("seq"), static_cast<qint64>(snapshot.screenSequence)},
            {QStringLiteral("rows"), rowTexts(snapshot)},
            {QStringLiteral("cells"), cells},
            {QStringLiteral("places"), snapshot.places},
            {QStringLiteral("consoleOn"), snapshot.consoleOn},
            {QStringLiteral("alarm"), snapshot.alarm},
            // This machine's monotonic clock in ms, for measuring the delay to a page.
            {QStringLiteral("changedAt"),
             std::chrono::duration<double, std::milli>(snapshot.screenChangedAt.time_since_epoch()).count()}};
}

QJsonObject glyphsMessage(const Host::GlyphTable& glyphs, quint64 sequence)
{
    QJsonArray table;
    for (const Link::DotMatrix& dots : glyphs) {
        QJsonArray rows;
        for (const std::uint8_t row : Link::glyphFromDots(dots))
            rows.append(row);
        table.append(rows);
    }
    return {{QStringLiteral("type"), QStringLiteral("glyphs")},
            {QStringLiteral("seq"), static_cast<qint64>(sequence)},
            {QStringLiteral("glyphs"), table}};
}

QJsonObject journalMessage(const std::vector<Host::JournalEntry>& entries)
{
    QJsonArray list;
    for (const Host::JournalEntry& entry : entries)
        list.append(QJsonObject{{QStringLiteral("time"), entry.time.toUTC().toString(Qt::ISODateWithMs)},
                                {QStringLiteral("code"), entry.code},
                                {QStringLiteral("text"), entry.text}});
    return {{QStringLiteral("type"), QStringLiteral("journal")}, {QStringLiteral("entries"), list}};
}

} // namespace VPanel::Server::DeviceJson
