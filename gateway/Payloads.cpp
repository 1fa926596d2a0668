#include "gateway/Payloads.h"

#include "host/KeyNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace VPanel::Gateway {

namespace {
constexpr const char* offlineLink = "gateway offline";

QString timeText(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

QByteArray compact(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

// A peer's text fit for a log line: short, one line.
QString printable(const QString& text)
{
    constexpr int longest = 40;
    QString shown;
    for (const QChar character : text.left(longest))
        shown += character.isPrint() ? character : QChar(u'?');
    return shown;
}

int glyphRowBits(const Link::DotMatrix& glyph, int row)
{
    int bits = 0;
    for (int column = 0; column < Link::DotMatrix::columns; ++column)
        if (glyph.lit(column, row))
            bits |= 1 << (Link::DotMatrix::columns - 1 - column);
    return bits;
}
} // namespace

QString deviceTopic(const QString& site, const std::string& device, const char* leaf)
{
    return QStringLiteral("vpanel/%1/%2/%3").arg(site, QString::fromStdString(device), QLatin1String(leaf));
}

QByteArray statePayload(const Host::DeviceSnapshot& snapshot, const Host::DeviceSpec& definition, const QDateTime& now)
{
    QJsonValue retryIn = QJsonValue::Null;
    if (snapshot.retryAt)
        retryIn = std::max<qint64>(0, now.secsTo(*snapshot.retryAt));
    return compact({
        {QStringLiteral("link"), QLatin1String(Host::linkStateName(snapshot.state))},
        {QStringLiteral("deviceName"), snapshot.deviceName},
        {QStringLiteral("identifier"), snapshot.identifier < 0 ? QJsonValue() : QJsonValue(snapshot.identifier)},
        {QStringLiteral("identity"), snapshot.identity},
        {QStringLiteral("port"), QString::fromStdString(definition.port)},
        {QStringLiteral("address"), definition.address},
        {QStringLiteral("baud"), definition.baudRate},
        {QStringLiteral("rows"), snapshot.rows},
        {QStringLiteral("places"), snapshot.places},
        {QStringLiteral("consoleOn"), snapshot.consoleOn},
        {QStringLiteral("alarm"), snapshot.alarm},
        {QStringLiteral("retryInSeconds"), retryIn},
        {QStringLiteral("time"), timeText(now)},
    });
}

QByteArray offlineStatePayload()
{
    return compact({{QStringLiteral("link"), QLatin1String(offlineLink)}});
}

QByteArray screenPayload(const Host::DeviceSnapshot& snapshot, const QDateTime& now)
{
    QJsonArray rows;
    for (const QString& row : snapshot.rowTexts)
        rows.append(row);
    QJsonArray cells;
    for (const auto& rowCells : snapshot.cells) {
        QJsonArray codes;
        for (const std::uint8_t code : rowCells)
            codes.append(int(code));
        cells.append(codes);
    }
    return compact({
        {QStringLiteral("seq"), qint64(snapshot.screenSequence)},
        {QStringLiteral("time"), timeText(now)},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("cells"), cells},
        {QStringLiteral("places"), snapshot.places},
        {QStringLiteral("consoleOn"), snapshot.consoleOn},
        {QStringLiteral("alarm"), snapshot.alarm},
    });
}

QByteArray glyphsPayload(quint64 sequence, const Host::GlyphTable& glyphs)
{
    QJsonArray table;
    for (const Link::DotMatrix& glyph : glyphs) {
        QJsonArray rows;
        for (int row = 0; row < Link::DotMatrix::rows; ++row)
            rows.append(glyphRowBits(glyph, row));
        table.append(rows);
    }
    return compact({{QStringLiteral("seq"), qint64(sequence)}, {QStringLiteral("glyphs"), table}});
}

QByteArray eventPayload(const Host::JournalEntry& entry)
{
    return compact({
        {QStringLiteral("time"), timeText(entry.time)},
        {QStringLiteral("code"), entry.code},
        {QStringLiteral("text"), entry.text},
    });
}

std::optional<KeyAction> parseKeyMessage(const QByteArray& payload, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &parseError);
    if (!document.isObject()) {
        error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    static const std::pair<const char*, KeyAction::Kind> kinds[] = {
        {"tap", KeyAction::Kind::Tap}, {"press", KeyAction::Kind::Press}, {"release", KeyAction::Kind::Release}};
    if (object.size() != 1) {
        error = QStringLiteral("expected one of tap, press, release");
        return std::nullopt;
    }
    for (const auto& [field, kind] : kinds) {
        const QJsonValue value = object.value(QLatin1String(field));
        if (value.isUndefined())
            continue;
        const auto scanCode = Host::scanCodeOf(value.toString().toStdString());
        if (!value.isString() || !scanCode) {
            error = QStringLiteral("no key named \"%1\"").arg(printable(value.toString()));
            return std::nullopt;
        }
        return KeyAction{kind, *scanCode};
    }
    error = QStringLiteral("expected one of tap, press, release");
    return std::nullopt;
}

} // namespace VPanel::Gateway
