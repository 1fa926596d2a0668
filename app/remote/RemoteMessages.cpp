#include "app/remote/RemoteMessages.h"

#include "host/KeyNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace RemoteMessages {

namespace {

std::optional<QJsonObject> objectOf(const QByteArray& payload)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QString boundedText(const QJsonValue& value)
{
    return value.toString().left(maxTextLength);
}

// A whole number within the bounds, else nothing.
std::optional<int> boundedInt(const QJsonValue& value, int low, int high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < low || number > high || number != static_cast<int>(number))
        return std::nullopt;
    return static_cast<int>(number);
}

// A row of codes 0..255, at most maxPlaces of them.
std::optional<QByteArray> codeRow(const QJsonValue& value)
{
    const QJsonArray codes = value.toArray();
    if (!value.isArray() || codes.size() > maxPlaces)
        return std::nullopt;
    QByteArray row;
    for (const QJsonValue& code : codes) {
        const std::optional<int> byte = boundedInt(code, 0, 255);
        if (!byte)
            return std::nullopt;
        row.append(static_cast<char>(*byte));
    }
    return row;
}

} // namespace

std::optional<State> parseState(const QByteArray& payload)
{
    const std::optional<QJsonObject> object = objectOf(payload);
    if (!object || !(*object)[QLatin1String("link")].isString())
        return std::nullopt;
    State state;
    state.link = boundedText((*object)[QLatin1String("link")]);
    state.identity = boundedText((*object)[QLatin1String("identity")]);
    state.identifier = boundedInt((*object)[QLatin1String("identifier")], 0, 0xFFFF).value_or(-1);
    state.rows = boundedInt((*object)[QLatin1String("rows")], 1, maxRows).value_or(0);
    state.places = boundedInt((*object)[QLatin1String("places")], 1, maxPlaces).value_or(0);
    state.consoleOn = (*object)[QLatin1String("consoleOn")].toBool(true);
    state.alarm = (*object)[QLatin1String("alarm")].toBool(false);
    state.retryInSeconds = boundedInt((*object)[QLatin1String("retryInSeconds")], 0, 24 * 3600);
    return state;
}

std::optional<Screen> parseScreen(const QByteArray& payload)
{
    const std::optional<QJsonObject> object = objectOf(payload);
    if (!object)
        return std::nullopt;
    const std::optional<int> places = boundedInt((*object)[QLatin1String("places")], 1, maxPlaces);
    const QJsonArray rows = (*object)[QLatin1String("cells")].toArray();
    if (!places || rows.isEmpty() || rows.size() > maxRows)
        return std::nullopt;
    Screen screen;
    screen.places = *places;
    for (const QJsonValue& value : rows) {
        std::optional<QByteArray> row = codeRow(value);
        if (!row || row->size() != *places)
            return std::nullopt;
        screen.cells.push_back(std::move(*row));
    }
    screen.consoleOn = (*object)[QLatin1String("consoleOn")].toBool(true);
    screen.alarm = (*object)[QLatin1String("alarm")].toBool(false);
    return screen;
}

std::optional<std::vector<SymbolMatrix>> parseGlyphs(const QByteArray& payload)
{
    const std::optional<QJsonObject> object = objectOf(payload);
    if (!object)
        return std::nullopt;
    const QJsonArray glyphs = (*object)[QLatin1String("glyphs")].toArray();
    if (glyphs.size() != glyphCount)
        return std::nullopt;
    std::vector<SymbolMatrix> matrices;
    matrices.reserve(glyphCount);
    for (const QJsonValue& glyph : glyphs) {
        const std::optional<QByteArray> rows = codeRow(glyph);
        if (!rows || rows->size() != glyphRows)
            return std::nullopt;
        SymbolMatrix matrix(glyphColumns, glyphRows);
        // Bit 4 of a row byte is its leftmost dot.
        for (int row = 0; row < glyphRows; ++row)
            for (int column = 0; column < glyphColumns; ++column)
                matrix.setValue(column, row, (static_cast<quint8>(rows->at(row)) >> (glyphColumns - 1 - column)) & 1);
        matrices.push_back(std::move(matrix));
    }
    return matrices;
}

std::optional<Event> parseEvent(const QByteArray& payload)
{
    const std::optional<QJsonObject> object = objectOf(payload);
    if (!object)
        return std::nullopt;
    const std::optional<int> code = boundedInt((*object)[QLatin1String("code")], 0, 0xFFFF);
    if (!code || !(*object)[QLatin1String("text")].isString())
        return std::nullopt;
    return Event{*code, boundedText((*object)[QLatin1String("text")])};
}

std::optional<QByteArray> keyMessage(int scanCode, bool pressed)
{
    for (const VPanel::Host::NamedKey& key : VPanel::Host::namedKeys()) {
        if (key.scanCode != scanCode)
            continue;
        const QString name = QString::fromLatin1(key.name.data(), static_cast<qsizetype>(key.name.size()));
        const QJsonObject message{{QLatin1String(pressed ? "press" : "release"), name}};
        return QJsonDocument(message).toJson(QJsonDocument::Compact);
    }
    return std::nullopt;
}

} // namespace RemoteMessages
