#include "app/display/QOIndicator.h"
#include "link/Glyph.h"
#include "link/Packet.h"
#include "sim/GlyphPictures.h"
#include "tests/app/transmission/TransmissionFixture.h"

#include <QTextCodec>

namespace {

using namespace TransmissionTest;
using namespace VPanel;

QStringList progressTexts(const Recorder& recorder)
{
    QStringList texts;
    for (const Event& event : recorder.events)
        texts << QStringLiteral("%1 %2").arg(event.code).arg(event.text);
    return texts;
}

SymbolMatrix matrixOf(const Link::Glyph& glyph)
{
    const Link::DotMatrix dots = Link::dotsFromGlyph(glyph);
    SymbolMatrix matrix(Link::DotMatrix::columns, Link::DotMatrix::rows);
    for (int column = 0; column < Link::DotMatrix::columns; ++column)
        for (int row = 0; row < Link::DotMatrix::rows; ++row)
            matrix.setValue(column, row, dots.lit(column, row) ? 1 : 0);
    return matrix;
}

class ConnectionTest : public TransmissionFixture {};

TEST_F(ConnectionTest, StartsUpInOrderThenPollsAndStopsWithTheStopPacket)
{
    simulate();
    connectTo();
    ASSERT_TRUE(polling());

    const QString port = portNameOf(*simulator);
    QStringList expected{
        QStringLiteral("10 %1, версия ПО - 1.0").arg(QString::fromUtf8(deviceName)),
        QStringLiteral("9 Идентификация - удачно."),
        QStringLiteral("11 Идентификация консоли - %1 адрес № 1 Версия: 0 Кол-во строк 4  Кол-во мест 20  "
                       "Кол-во символьных матриц 8")
            .arg(port),
        QStringLiteral("9 Идентификация консоли - успешно."),
        QStringLiteral("9 Языковой пакет - удачно."),
    };
    for (int index = 0; index < 8; ++index)
        expected << QStringLiteral("9 Матрица №%1 из 8 считана.").arg(index);
    expected << QStringLiteral("9 Стартовый пакет - удачно.");
    EXPECT_EQ(progressTexts(*recorder), expected);

    EXPECT_EQ(recorder->deviceIds, QList<int>{7});
    EXPECT_EQ(recorder->displaySizes, (QList<QPair<int, int>>{{4, 20}}));
    EXPECT_EQ(recorder->glyphSizes, (QList<QPair<int, int>>{{5, 8}}));
    ASSERT_EQ(recorder->glyphs.size(), 8);
    for (int code = 1; code < 8; ++code)
        EXPECT_EQ(recorder->glyphs[code], matrixOf(Sim::initialGlyph(static_cast<std::size_t>(code)))) << code;

    const Sim::DeviceCounters seen = counters();
    EXPECT_EQ(seen.requestsOf(Link::Command::DeviceIdentification), 1u);
    EXPECT_EQ(seen.requestsOf(Link::Command::ConsoleIdentification), 1u);
    EXPECT_EQ(seen.requestsOf(Link::Command::Language), 1u);
    EXPECT_EQ(seen.requestsOf(Link::Command::SymbolMatrix), 8u);
    EXPECT_EQ(seen.requestsOf(Link::Command::Start), 1u);
    EXPECT_EQ(seen.requestsOf(Link::Command::Stop), 0u);

    EXPECT_EQ(recorder->rows[3], deviceRow(QStringLiteral("F1-меню  F2-звук")));
    EXPECT_TRUE(recorder->rows[0].contains(deviceRow(QStringLiteral("  Прибор №1")).trimmed()));
    EXPECT_GT(recorder->resets, 0);

    thread->stope();
    ASSERT_TRUE(waitFor([&] { return recorder->finished; }));
    EXPECT_EQ(recorder->events.last().code, 6);
    EXPECT_TRUE(recorder->events.last().text.isEmpty());
    EXPECT_EQ(counters().requestsOf(Link::Command::Stop), 1u);
    EXPECT_FALSE(recorder->has(1));
}

TEST_F(ConnectionTest, DisplayWidgetShowsEveryRowTheDeviceSends)
{
    simulate();
    QOIndicator indicator;
    QOTransmissionThread& link = connectTo(1, false);
    QObject::connect(&link, &QOTransmissionThread::sizeIndicators, &indicator, &QOIndicator::setDisplaySize);
    QObject::connect(&link, &QOTransmissionThread::setMatrixSymbolSize, &indicator, &QOIndicator::setSymbolMatrixSize);
    QObject::connect(&link, &QOTransmissionThread::setSymbolMatrix, &indicator, &QOIndicator::setSymbolMatrix,
                     Qt::BlockingQueuedConnection);
    QObject::connect(&link, &QOTransmissionThread::setCells, &indicator, &QOIndicator::setCells);
    QObject::connect(&link, &QOTransmissionThread::resetView, &indicator, &QOIndicator::reset);
    link.start();
    ASSERT_TRUE(polling());

    // Every row the recorder got, in whatever order the replies brought them, is on the display.
    const auto displayShowsRows = [&] {
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 20; ++column)
                if (indicator.model().cell(row, column) != recorder->rows[row].at(column))
                    return false;
        return true;
    };
    ASSERT_TRUE(waitFor(displayShowsRows));
    tap(Link::ScanCode::F1);
    ASSERT_TRUE(waitFor([&] { return recorder->rows[0].startsWith(deviceRow(QStringLiteral("Меню 1/4")).trimmed()); }));
    EXPECT_TRUE(waitFor(displayShowsRows));
}

TEST_F(ConnectionTest, KeypadDrivesTheDeviceAndItsStatesComeBack)
{
    simulate();
    connectTo();
    ASSERT_TRUE(polling());

    // Keys held together travel together; Esc and Backspace share one key.
    thread->codePress(Link::ScanCode::digit(1));
    thread->codePress(Link::ScanCode::F1);
    EXPECT_TRUE(deviceSees(Link::keyBit(2) | Link::keyBit(Link::Key::F1)));
    thread->codeRelease(Link::ScanCode::digit(1));
    thread->codeRelease(Link::ScanCode::F1);
    EXPECT_TRUE(deviceSees(0));
    ASSERT_TRUE(waitFor([&] { return recorder->rows[0].startsWith(deviceRow(QStringLiteral("Меню 1/4")).trimmed()); }));

    // Menu: down to the console switch, Enter turns the console off, Enter again on.
    tap(Link::ScanCode::Down);
    tap(Link::ScanCode::Enter);
    ASSERT_TRUE(waitFor([&] { return recorder->has(8, QStringLiteral("Консоль выключена.")); }));
    tap(Link::ScanCode::Enter);
    ASSERT_TRUE(waitFor([&] { return recorder->has(7, QStringLiteral("Консоль включена.")); }));

    tap(Link::ScanCode::F2);
    ASSERT_TRUE(waitFor([&] { return recorder->has(12, QStringLiteral("Звук вкл.")); }));
    tap(Link::ScanCode::F2);
    ASSERT_TRUE(waitFor([&] { return recorder->has(13, QStringLiteral("Звук выкл.")); }));
    EXPECT_EQ(recorder->count(8, QStringLiteral("Консоль выключена.")), 1);
    EXPECT_EQ(recorder->count(12, QStringLiteral("Звук вкл.")), 1);
    EXPECT_FALSE(recorder->has(1));
}

TEST_F(ConnectionTest, LanguageGoesToTheDevice)
{
    simulate();
    QOTransmissionThread& link = connectTo(1, false);
    link.setLanguage(1);
    link.start();
    ASSERT_TRUE(polling());
    EXPECT_EQ(recorder->rows[3], deviceRow(QStringLiteral("F1-menu  F2-sound")));
}

TEST_F(ConnectionTest, DeviceNamesComeFromTheDictionaryWhenItHasThem)
{
    struct Case {
        std::uint16_t identifier;
        bool dictionary;
        QString text;
    };
    const Case cases[] = {
        {7, true, QStringLiteral("%1, версия ПО - 1.5").arg(QString::fromUtf8(deviceName))},
        {8, true, QStringLiteral(", версия ПО - 1.5")},
        {999, true, QStringLiteral("Неизвестный идентификатор устройства, версия ПО - 1.5")},
        {7, false, QStringLiteral("Неизвестный идентификатор устройства, версия ПО - 1.5")},
    };
    const QString missing = QStringLiteral("Отсутствует или нет доступа к файлу словаря идентификаторов.");
    for (const Case& item : cases) {
        Sim::SimulatorOptions options;
        options.devices = {Sim::FirmwareSetup{1, item.identifier, 1, 5, 1}};
        simulate(options);
        if (!item.dictionary)
            removeDictionary();
        connectTo();
        // The identifier is reported just after the name.
        ASSERT_TRUE(waitFor([&] { return recorder->has(10) && !recorder->deviceIds.isEmpty(); })) << item.identifier;
        EXPECT_EQ(recorder->first(10)->text, item.text);
        EXPECT_EQ(recorder->has(9, missing), !item.dictionary);
        EXPECT_EQ(recorder->deviceIds, QList<int>{item.identifier});
        thread.reset();
    }
}

} // namespace
