// The gateway's options and payloads: what an operator types and what a peer sends.

#include "gateway/GatewayException.h"
#include "gateway/GatewayOptions.h"
#include "gateway/Payloads.h"
#include "link/ScanCodes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include <sys/stat.h>

namespace {
using namespace VPanel;
using Gateway::GatewayOptions;

// Writes `content` to the file `name` in `folder`; its path.
QString writeFile(const QTemporaryDir& folder, const char* name, const QByteArray& content)
{
    QFile file(folder.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw std::runtime_error("cannot write " + file.fileName().toStdString());
    return file.fileName();
}

TEST(GatewayOptionsTest, CommandLineAndConfigFile)
{
    QTemporaryDir folder;
    const QString withConfig = QStringLiteral("--config ") +
                               writeFile(folder, "gateway.ini",
                                         "[General]\nbroker=mqtt://10.0.0.1\nsite=plant1\nusername=gw\npassword-file=/etc/gw.pass\n"
                                         "[devices]\nboiler=COM7,1,115200\npress.2=COM8,2,9600\n");
    // A name with a slash would be a group of its own to the INI reader, and so never seen.
    const QString slashed = writeFile(folder, "slashed.ini",
                                      "[General]\nbroker=mqtt://h\nsite=s1\n[devices]\nok=COM7,1,115200\nvpanel/s2/x=COM8,2,9600\n");
    const QString huge = writeFile(folder, "huge.ini",
                                   "[General]\nbroker=mqtt://h\nsite=s1\n[devices]\na=COM7,1,115200\n" + QByteArray(1024 * 1024, '#'));
    const QString pipe = folder.filePath(QStringLiteral("pipe.ini"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    struct Case {
        QString arguments;
        const char* error;  // a word the refusal has; nullptr: accepted
        const char* broker = "";
        const char* site = "";
        std::size_t devices = 0;
    };
    const Case cases[] = {
        {QStringLiteral("--broker mqtt://h --site s1 --device a=COM7,1,115200 --device b=COM7,2,115200"), nullptr,
         "mqtt://h", "s1", 2},
        {withConfig, nullptr, "mqtt://10.0.0.1", "plant1", 2},
        {withConfig + QStringLiteral(" --site other --device c=COM9,3,19200"), nullptr, "mqtt://10.0.0.1", "other", 3},
        // The installed example as the systemd unit runs it.
        {QStringLiteral("--config " GATEWAY_CONF_EXAMPLE " --password-file /run/credentials/vpanel-gateway.service/password"),
         nullptr, "mqtts://broker.example:8883", "plant1", 1},
        {QStringLiteral("--broker mqtt://h --site s1 --device a=COM7,1,115200 --password pw"), "--password-file"},
        {QStringLiteral("--broker http://h --site s1 --device a=COM7,1,115200"), "http"},
        {QStringLiteral("--site s1 --device a=COM7,1,115200"), "broker"},
        {QStringLiteral("--broker mqtt://h --site a/b --device a=COM7,1,115200"), "site"},
        {QStringLiteral("--broker mqtt://h --site s1"), "device"},
        {QStringLiteral("--broker mqtt://h --site s1 --device a=COM7,1,115200 --device a=COM8,1,115200"), "twice"},
        {QStringLiteral("--broker mqtt://h --site s1 --device a=COM7,1,115200 --password-file /x"), "--username"},
        {QStringLiteral("--broker mqtt://h --site s1 --device a=COM7,1,115200 --site"), "value"},
        {QStringLiteral("--config /nonexistent/gateway.ini"), "configuration"},
        {QStringLiteral("--config ") + slashed, "vpanel/..."},
        {QStringLiteral("--config ") + huge, "plain file"},
        {QStringLiteral("--config ") + pipe, "plain file"},
        {QStringLiteral("--config /dev/zero"), "plain file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.toStdString());
        const GatewayOptions options = GatewayOptions::parse(c.arguments.split(QLatin1Char(' ')));
        if (c.error) {
            EXPECT_TRUE(options.error.contains(QLatin1String(c.error))) << options.error.toStdString();
            continue;
        }
        ASSERT_TRUE(options.error.isEmpty()) << options.error.toStdString();
        EXPECT_EQ(options.broker.toStdString(), c.broker);
        EXPECT_EQ(options.site.toStdString(), c.site);
        EXPECT_EQ(options.devices.size(), c.devices);
    }
    const GatewayOptions fromFile = GatewayOptions::parse(withConfig.split(QLatin1Char(' ')));
    ASSERT_EQ(fromFile.devices.size(), 2u);
    EXPECT_EQ(fromFile.devices[1].name, "press.2");
    EXPECT_EQ(fromFile.devices[1].port, "COM8");
    EXPECT_EQ(fromFile.devices[1].address, 2);
    EXPECT_EQ(fromFile.devices[1].baudRate, 9600);
    EXPECT_EQ(fromFile.passwordFile, QStringLiteral("/etc/gw.pass"));
}

TEST(GatewayOptionsTest, APasswordFileOthersMayReadIsRefused)
{
    QTemporaryDir folder;
    const QString path = writeFile(folder, "pass", "s3cret\nsecond line\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(Gateway::readPasswordFile(path), QStringLiteral("s3cret"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    try {
        Gateway::readPasswordFile(path);
        ADD_FAILURE() << "a group-readable password file was read";
    } catch (const Gateway::GatewayException& error) {
        const QString message = QString::fromWCharArray(error.message());
        EXPECT_TRUE(message.contains(QLatin1String("chmod 600"))) << message.toStdString();
        EXPECT_FALSE(message.contains(QLatin1String("s3cret")));
    }
    // As systemd's LoadCredential= leaves it: the mode shows the ACL's mask, the file is the service's.
    qputenv("CREDENTIALS_DIRECTORY", folder.path().toUtf8());
    EXPECT_EQ(Gateway::readPasswordFile(path), QStringLiteral("s3cret"));
    qputenv("CREDENTIALS_DIRECTORY", QDir::tempPath().toUtf8());
    EXPECT_THROW(Gateway::readPasswordFile(path), Gateway::GatewayException);
    qunsetenv("CREDENTIALS_DIRECTORY");
    // Opening a pipe would wait for a writer for ever.
    const QString pipe = folder.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_THROW(Gateway::readPasswordFile(pipe), Gateway::GatewayException);
}

TEST(GatewayPayloadsTest, KeyMessages)
{
    struct Case {
        const char* payload;
        bool taken;
        Gateway::KeyAction::Kind kind = Gateway::KeyAction::Kind::Tap;
        int scanCode = 0;
    };
    using Kind = Gateway::KeyAction::Kind;
    const Case cases[] = {
        {R"({"tap":"F1"})", true, Kind::Tap, Link::ScanCode::F1},
        {R"({"press":"enter"})", true, Kind::Press, Link::ScanCode::Enter},
        {R"({"release":"7"})", true, Kind::Release, Link::ScanCode::digit(7)},
        {R"({"tap":"F9"})", false},
        {R"({"tap":1})", false},
        {R"({"tap":"F1","press":"F2"})", false},
        {R"({"hold":"F1"})", false},
        {R"(["tap","F1"])", false},
        {"not json", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        QString error;
        const auto action = Gateway::parseKeyMessage(QByteArray(c.payload), error);
        ASSERT_EQ(action.has_value(), c.taken);
        if (action) {
            EXPECT_EQ(action->kind, c.kind);
            EXPECT_EQ(action->scanCode, c.scanCode);
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

TEST(GatewayPayloadsTest, GlyphRowsPutTheLeftmostColumnInBitFour)
{
    Host::GlyphTable glyphs{};
    glyphs[65].set(0, 0, true);
    glyphs[65].set(4, 7, true);
    glyphs[65].set(1, 3, true);
    const QJsonObject payload = QJsonDocument::fromJson(Gateway::glyphsPayload(5, glyphs)).object();
    EXPECT_EQ(payload.value(QStringLiteral("seq")).toInt(), 5);
    const QJsonArray table = payload.value(QStringLiteral("glyphs")).toArray();
    ASSERT_EQ(table.size(), 256);
    const QJsonArray rows = table.at(65).toArray();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows.at(0).toInt(), 0b10000);
    EXPECT_EQ(rows.at(3).toInt(), 0b01000);
    EXPECT_EQ(rows.at(7).toInt(), 0b00001);
    EXPECT_EQ(table.at(64).toArray().at(0).toInt(), 0);
}

TEST(GatewayPayloadsTest, StateBeforeIdentificationAndAfterAFailure)
{
    Host::DeviceSnapshot snapshot;
    const QDateTime now = QDateTime::fromString(QStringLiteral("2026-12-08T22:00:00.123Z"), Qt::ISODateWithMs);
    snapshot.state = Host::LinkState::Gone;
    snapshot.retryAt = now.addSecs(4);
    const QJsonObject state =
        QJsonDocument::fromJson(Gateway::statePayload(snapshot, {"boiler", "COM7", 3, 19200}, now)).object();
    EXPECT_EQ(state.value(QStringLiteral("link")).toString(), QStringLiteral("gone"));
    EXPECT_TRUE(state.value(QStringLiteral("identifier")).isNull());
    EXPECT_EQ(state.value(QStringLiteral("retryInSeconds")).toInt(), 4);
    EXPECT_EQ(state.value(QStringLiteral("address")).toInt(), 3);
    EXPECT_EQ(state.value(QStringLiteral("time")).toString(), QStringLiteral("2026-12-08T22:00:00.123Z"));
}

} // namespace
