#include "host/StandardGlyphs.h"

#include <QFile>
#include <QString>

// Q_INIT_RESOURCE declares the resource's initialiser, which must not sit in a namespace.
static void initDisplayResources()
{
    Q_INIT_RESOURCE(display);
}

namespace VPanel::Host {

namespace {
// The shipped file is about 25 KiB; this bounds what a damaged one makes us read.
constexpr qint64 maxMapFileBytes = 256 * 1024;

GlyphTable readStandardGlyphs()
{
    GlyphTable table{};
    initGlyphResources();
    QFile file(QString::fromLatin1(glyphMapFileName));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QString text = QString::fromLatin1(file.read(maxMapFileBytes));
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    for (int code = firstStandardCode; code <= lastStandardCode && code < lines.size(); ++code)
        table[static_cast<std::size_t>(code)] = parseGlyphLine(lines[code]);
    return table;
}
} // namespace

void initGlyphResources() { initDisplayResources(); }

Link::DotMatrix parseGlyphLine(QStringView line)
{
    const QList<QStringView> fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
    Link::DotMatrix dots;
    for (int column = 0; column < Link::DotMatrix::columns; ++column) {
        for (int row = 0; row < Link::DotMatrix::rows; ++row) {
            const int field = column * Link::DotMatrix::rows + row;
            bool ok = false;
            dots.set(column, row, field < fields.size() && fields[field].toInt(&ok, 10) == 1 && ok);
        }
    }
    return dots;
}

const GlyphTable& standardGlyphs()
{
    static const GlyphTable table = readStandardGlyphs();
    return table;
}

} // namespace VPanel::Host
