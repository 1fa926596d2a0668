// The program's pieces that need no window: screens, command line, resources, catalogue.

#include "datafiles/DeviceDictionary.h"
#include "app/window/PanelScreens.h"
#include "app/window/StartOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(PanelScreensTest, EveryRowIsTwentyPlacesOfTheDisplaysCodePage)
{
    for (const bool english : {false, true}) {
        for (const PanelScreens::Screen& screen : {PanelScreens::welcome(english), PanelScreens::panelOff(english),
                                                   PanelScreens::blank()})
            for (const QByteArray& row : screen)
                EXPECT_EQ(row.size(), 20) << row.constData();
    }
    QTextCodec* codec = QTextCodec::codecForName("Windows-1251");
    EXPECT_EQ(PanelScreens::welcome(false)[1], codec->fromUnicode(QStringLiteral("       Велидар      ")));
    EXPECT_EQ(PanelScreens::welcome(false)[2], QByteArray(20, ' '));
    EXPECT_EQ(PanelScreens::panelOff(true)[1], QByteArray("  CONTROL PANEL OFF "));
    EXPECT_EQ(PanelScreens::panelOff(false)[1], codec->fromUnicode(QStringLiteral("    ПУ ВЫКЛЮЧЕНА    ")));
    EXPECT_EQ(PanelScreens::centred(QStringLiteral("abcd")), QByteArray("        abcd        "));
    EXPECT_EQ(PanelScreens::row(QStringLiteral("x").repeated(25)), QByteArray(20, 'x'));
}

TEST(StartOptionsTest, CommandLines)
{
    struct Case {
        QStringList arguments;
        bool ok;
        bool english;
        QString port;
        int address;
        int baud;
    };
    const std::vector<Case> cases{
        {{}, true, false, {}, 0, 0},
        {{"--lang", "en"}, true, true, {}, 0, 0},
        {{"--lang", "ru", "--connect", "COM7", "1", "115200"}, true, false, "COM7", 1, 115200},
        {{"--connect", "COM3", "255", "921600", "--lang", "en"}, true, true, "COM3", 255, 921600},
        {{"--lang"}, false, false, {}, 0, 0},
        {{"--lang", "de"}, false, false, {}, 0, 0},
        {{"--connect", "COM3", "1"}, false, false, {}, 0, 0},
        {{"--connect", "COM3", "256", "9600"}, false, false, {}, 0, 0},
        {{"--connect", "COM3", "x1", "9600"}, false, false, {}, 0, 0},
        {{"--connect", "COM3", "1", "0"}, false, false, {}, 0, 0},
        {{"--speed"}, false, false, {}, 0, 0},
        {{"--pin-port"}, false, false, {}, 0, 0},
        {{"--record"}, false, false, {}, 0, 0},
        {{"--print-display", "--save-window"}, false, false, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartOptions options = StartOptions::parse(c.arguments);
        EXPECT_EQ(options.error.isEmpty(), c.ok) << options.error.toStdString();
        if (!c.ok)
            continue;
        EXPECT_EQ(options.english, c.english);
        ASSERT_EQ(options.connections.size(), c.port.isEmpty() ? 0 : 1);
        if (!options.connections.isEmpty()) {
            EXPECT_EQ(options.connections[0].port, c.port);
            EXPECT_EQ(options.connections[0].address, c.address);
            EXPECT_EQ(options.connections[0].baudRate, c.baud);
        }
    }
    const StartOptions two = StartOptions::parse({"--connect", "COM3", "1", "9600", "--connect", "COM4", "2", "19200"});
    ASSERT_EQ(two.connections.size(), 2);
    EXPECT_EQ(two.connections[0].port, QStringLiteral("COM3"));
    EXPECT_EQ(two.connections[1].port, QStringLiteral("COM4"));
    EXPECT_EQ(two.connections[1].address, 2);
    EXPECT_EQ(two.connections[1].baudRate, 19200);
    EXPECT_TRUE(StartOptions::parse({"--help"}).help);
    const StartOptions remote = StartOptions::parse({"--remote", "mqtt://h/s/d", "--connect", "COM3", "1", "9600"});
    EXPECT_EQ(remote.remotes, QStringList{"mqtt://h/s/d"});
    EXPECT_EQ(remote.connections.size(), 1);
    EXPECT_FALSE(StartOptions::parse({"--remote"}).error.isEmpty());
    const StartOptions headless =
        StartOptions::parse({"--record", "a.txt", "--print-display", "--save-window", "b.png"});
    EXPECT_EQ(headless.recordFile, QStringLiteral("a.txt"));
    EXPECT_TRUE(headless.printDisplay);
    EXPECT_EQ(headless.saveWindowFile, QStringLiteral("b.png"));
}

TEST(ResourcesTest, EveryPictureTheWindowsNameLoads)
{
    for (const char* name : {"connect.ico", "binoculars.ico", "russian.ico", "english.png", "sound.png",
                             "SplashScreen.jpg", "connectr.png", "device.png", "on.ico"}) {
        const QString path = QStringLiteral(":/Resources/") + QString::fromLatin1(name);
        EXPECT_FALSE(QPixmap(path).isNull()) << name;
    }
    EXPECT_EQ(QImageReader(QStringLiteral(":/Resources/SplashScreen.jpg")).format(), QByteArray("jpeg"));
    QMovie busy(QStringLiteral(":/Resources/load.gif"));
    EXPECT_TRUE(busy.isValid());
    EXPECT_GT(busy.frameCount(), 1);
    for (int frame = 0; frame < busy.frameCount(); ++frame) {
        ASSERT_TRUE(busy.jumpToFrame(frame)) << frame;
        EXPECT_EQ(busy.currentImage().size(), QSize(50, 50)) << frame;
    }
}

TEST(ResourcesTest, EnglishCatalogueIsCompiledIn)
{
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(":/Resources/eng.qm")));
    EXPECT_EQ(translator.translate("QORemoteController", "Велидар 1.0"), QStringLiteral("Velidar 1.0"));
    EXPECT_EQ(translator.translate("QOTransmissionThread", "Звук вкл."), QStringLiteral("Sound on."));
    EXPECT_EQ(translator.translate("QOFindDevice", "Подробности"), QStringLiteral("More details"));
}

TEST(DataFilesTest, ShippedBesideTheExecutable)
{
    const QDir beside(QCoreApplication::applicationDirPath());
    QFile dictionary(beside.filePath(QStringLiteral("dictionary.txt")));
    ASSERT_TRUE(dictionary.open(QIODevice::ReadOnly));
    const auto entries = VPanel::parseDeviceDictionary(dictionary.readAll());
    EXPECT_EQ(entries.size(), 47);
    EXPECT_EQ(std::count_if(entries.cbegin(), entries.cend(), [](const QString& name) { return name.isEmpty(); }), 2);
    EXPECT_EQ(entries.value(7), QStringLiteral("Пульт испытательный ПИ-7"));

    QFile sound(beside.filePath(QStringLiteral("alarm.wav")));
    ASSERT_TRUE(sound.open(QIODevice::ReadOnly));
    const QByteArray header = sound.read(16);
    EXPECT_TRUE(header.startsWith("RIFF") && header.mid(8, 8) == "WAVEfmt ");
}

// lupdate run over the program's and the panel core's sources into a copy of the catalogue:
// every text they pass through the translation must come out with a finished English text.
TEST(CatalogueTest, EveryTranslatedTextOfTheProgramHasItsEnglishText)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString catalogue = directory.filePath(QStringLiteral("eng.ts"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VPANEL_SOURCE_DIR "/app/resources/eng.ts"), catalogue));
    QFile::setPermissions(catalogue, QFile::ReadOwner | QFile::WriteOwner);

    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = {"-I", VPANEL_SOURCE_DIR, "-extensions", "cpp,h", "-locations", "none"};
    // The programs' folders that the tree holds: lupdate refuses a missing one.
    for (const char* folder : {"app", "datafiles", "panel", "term", "host", "server"})
        if (const QString path = QStringLiteral(VPANEL_SOURCE_DIR "/") + QLatin1String(folder); QDir(path).exists())
            arguments << path;
    lupdate.start(QStringLiteral(VPANEL_LUPDATE), arguments << "-ts" << catalogue);
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString context, source, unfinished;
    int messages = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText();
            if (type == QLatin1String("vanished") || type == QLatin1String("obsolete"))
                continue;
            ++messages;
            if (type == QLatin1String("unfinished") || text.isEmpty())
                unfinished += context + QStringLiteral(": ") + source + QLatin1Char('\n');
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 100);
    EXPECT_TRUE(unfinished.isEmpty()) << "add these to app/resources/eng.ts:\n" << unfinished.toStdString();
}

} // namespace
