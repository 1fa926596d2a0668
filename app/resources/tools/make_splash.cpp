// Paints the program's splash screen and saves it as a JPEG: the product name spelled in the
// display's own 5 x 8 glyphs on a lit panel, over a dark ground that leaves the bottom right
// free for the start-up messages.
//
//     make_splash GLYPH_MAP OUTPUT.jpg

#include "link/Glyph.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QStringList>
#include <QTextCodec>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int width_px = 480;
constexpr int height_px = 300;
constexpr int glyphColumns = VPanel::Link::DotMatrix::columns;
constexpr int glyphRows = VPanel::Link::DotMatrix::rows;
constexpr int jpegQuality = 92;

const QColor groundTop(0x18, 0x2C, 0x46);
const QColor groundBottom(0x08, 0x12, 0x1F);
const QColor panelLit(0x9C, 0xD6, 0x5A);
const QColor dotOn(0x1E, 0x30, 0x12);
const QColor dotOff(0x8A, 0xC4, 0x4C);
const QColor caption(0xDD, 0xE6, 0xEE);

// Lines of the glyph map: line k holds code k, forty 0/1 fields, column after column.
QStringList readGlyphMap(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    QTextStream stream(&file);
    while (!stream.atEnd())
        lines << stream.readLine();
    return lines;
}

bool lit(const QStringList& map, unsigned char code, int column, int row)
{
    if (code >= map.size())
        return false;
    const QStringList fields = map[code].split(QLatin1Char(','));
    const int index = column * glyphRows + row;
    return index < fields.size() && fields[index].trimmed() == QLatin1String("1");
}

// The text as display places of `dot` pixels with `gap` between places, from (x, y).
void drawDisplayText(QPainter& painter, const QStringList& map, const QString& text, QPointF origin, qreal dot)
{
    const QByteArray codes = QTextCodec::codecForName("Windows-1251")->fromUnicode(text);
    const qreal step = dot * 1.25;
    const qreal placeWidth = (glyphColumns + 1) * step;
    painter.setPen(Qt::NoPen);
    for (int place = 0; place < codes.size(); ++place) {
        const auto code = static_cast<unsigned char>(codes[place]);
        for (int column = 0; column < glyphColumns; ++column) {
            for (int row = 0; row < glyphRows; ++row) {
                painter.setBrush(lit(map, code, column, row) ? dotOn : dotOff);
                const QPointF centre = origin + QPointF(place * placeWidth + column * step, row * step);
                painter.drawEllipse(centre, dot / 2, dot / 2);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_splash GLYPH_MAP OUTPUT.jpg\n");
        return 2;
    }
    const QStringList map = readGlyphMap(QString::fromLocal8Bit(argv[1]));
    if (map.isEmpty()) {
        std::fprintf(stderr, "make_splash: cannot read %s\n", argv[1]);
        return 1;
    }

    QImage image(width_px, height_px, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient ground(0, 0, 0, height_px);
    ground.setColorAt(0, groundTop);
    ground.setColorAt(1, groundBottom);
    painter.fillRect(image.rect(), ground);

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(15);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    painter.setFont(small);
    painter.setPen(caption);
    painter.drawText(QRectF(0, 22, width_px, 24), Qt::AlignHCenter, QStringLiteral("ТЕВОЛАН"));

    const QRectF panel(40, 62, width_px - 80, 112);
    painter.setPen(QPen(QColor(0x05, 0x0A, 0x10), 4));
    painter.setBrush(panelLit);
    painter.drawRoundedRect(panel, 8, 8);

    const QString name = QStringLiteral("Велидар");
    const qreal dot = 7.0;
    const qreal textWidth = name.size() * (glyphColumns + 1) * dot * 1.25 - dot * 1.25;
    drawDisplayText(painter, map, name, QPointF(panel.center().x() - textWidth / 2 + dot / 2, panel.top() + 22), dot);

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(17);
    painter.setFont(subtitle);
    painter.setPen(caption);
    painter.drawText(QRectF(0, 192, width_px, 26), Qt::AlignHCenter, QStringLiteral("Виртуальный пульт управления"));
    subtitle.setPixelSize(13);
    painter.setFont(subtitle);
    painter.setPen(caption.darker(130));
    painter.drawText(QRectF(0, 220, width_px, 20), Qt::AlignHCenter, QStringLiteral("версия 1.0"));
    painter.end();

    if (!image.save(QString::fromLocal8Bit(argv[2]), "JPG", jpegQuality)) {
        std::fprintf(stderr, "make_splash: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
