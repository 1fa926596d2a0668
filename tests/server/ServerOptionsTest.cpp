// The server's settings from the command line and its configuration file.

#include "server/ServerOptions.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {
using namespace VPanel::Server;

QStringList words(const char* text) { return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts); }

// An empty `error` expects the options accepted.
void expectOutcome(const ServerOptions& options, const char* error, const std::string& input)
{
    EXPECT_EQ(options.error.isEmpty(), *error == '\0') << input << ": " << options.error.toStdString();
    EXPECT_TRUE(options.error.contains(QString::fromUtf8(error))) << input << ": " << options.error.toStdString();
}

TEST(ServerOptions, CommandLineRulesNameWhatIsWrong)
{
    struct Row {
        const char* arguments;
        const char* error; // empty: accepted
    };
    const Row rows[] = {
        {"--users u --device a=COM1,1,9600", ""},
        {"--device a=COM1,1,9600", "--users"},
        {"--users u", "--device"},
        {"--users u --device a=COM1,1,9600 --device a=COM2,2,9600", "a указано дважды"},
        {"--users u --device a=COM1,1,9600 --listen 0.0.0.0:8443", "--insecure-http"},
        {"--users u --device a=COM1,1,9600 --listen 192.168.1.5:80", "--cert"},
        {"--users u --device a=COM1,1,9600 --listen 0.0.0.0:8443 --insecure-http", ""},
        {"--users u --device a=COM1,1,9600 --listen [::]:8443 --cert c.pem --key k.pem", ""},
        {"--users u --device a=COM1,1,9600 --listen [::1]:9000", ""},
        {"--users u --device a=COM1,1,9600 --listen localhost:9000", ""},
        {"--users u --device a=COM1,1,9600 --cert c.pem", "--cert и --key"},
        {"--users u --device a=COM1,1,9600 --key k.pem", "--cert и --key"},
        {"--users u --device a=COM1,1,9600 --listen ::1:9000", "Неверный адрес '::1:9000'"},
        {"--users u --device a=COM1,1,9600 --listen 127.0.0.1:0", ""},
        {"--users u --device a=COM1,1,9600 --listen 127.0.0.1:65536", "Неверный адрес"},
        {"--users u --device a=COM1,1,9600 --listen 127.0.0.1", "Неверный адрес"},
        {"--users u --device a=COM1,1,9600 --listen plant.example:80", "Неверный адрес"},
        {"--users u --add-user ann --role operator", ""},
        {"--users u --remove-user ann", ""},
        {"--users u --add-user ann", "--role"},
        {"--users u --add-user ann --role boss", "роль 'boss'"},
        {"--users u --device a=COM1,1,9600 --role viewer", "--add-user"},
        {"--users u --add-user a/b --role viewer", "Недопустимое имя"},
        {"--users u --add-user ann --remove-user bob --role viewer", "вместе"},
        {"--users u --device a=COM1,1,9600 --lang fr", "язык 'fr'"},
        {"--users u --device a=COM1,1,9600 --verbose", "параметр '--verbose'"},
        {"--users u --device a=COM1,1,9600 extra", "аргумент 'extra'"},
        {"--users u --device", "после --device"},
        {"--config a.ini --config b.ini", "дважды"},
        {"--help", ""},
        {"--version --anything-after-is-still-checked", "--anything"},
    };
    for (const Row& row : rows)
        expectOutcome(ServerOptions::parse(words(row.arguments)), row.error, row.arguments);

    const ServerOptions options = ServerOptions::parse(
        words("--users u --device a=COM1,1,9600 --device b=COM2,2,19200 --listen [::1]:9000 --lang en"));
    EXPECT_EQ(options.deviceSpecs, QStringList({"a=COM1,1,9600", "b=COM2,2,19200"}));
    EXPECT_EQ(options.listenAddress, QHostAddress(QHostAddress::LocalHostIPv6));
    EXPECT_EQ(options.listenPort, 9000);
    EXPECT_TRUE(options.english);
    const ServerOptions defaults = ServerOptions::parse(words("--users u --device a=COM1,1,9600"));
    EXPECT_EQ(defaults.listenAddress, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(defaults.listenPort, 8080);
    EXPECT_EQ(ServerOptions::parse(words("--users u --add-user ann --role viewer")).role, Role::Viewer);
}

TEST(ServerOptions, ConfigFileWithCommandLineOverrides)
{
    QTemporaryDir folder;
    const auto config = [&](const QByteArray& content) {
        const QString path = folder.filePath(QStringLiteral("server.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        return path;
    };
    const QString path = config("[server]\n"
                                "users=users\n"
                                "listen=0.0.0.0:8443\n"
                                "cert=tls/server.crt\n"
                                "key=/etc/vpanel/server.key\n"
                                "lang=en\n"
                                "devices=\"c=COM3,3,115200\"\n"
                                "[devices]\n"
                                "press1=COM1,1,9600\n"
                                "press2=COM2,2,19200\n");
    const ServerOptions fromFile = ServerOptions::parse({QStringLiteral("--config"), path});
    ASSERT_TRUE(fromFile.error.isEmpty()) << fromFile.error.toStdString();
    EXPECT_EQ(fromFile.usersFile, folder.filePath(QStringLiteral("users")));
    EXPECT_EQ(fromFile.certFile, folder.filePath(QStringLiteral("tls/server.crt")));
    EXPECT_EQ(fromFile.keyFile, QStringLiteral("/etc/vpanel/server.key"));
    EXPECT_EQ(fromFile.listenAddress, QHostAddress(QHostAddress::AnyIPv4));
    EXPECT_EQ(fromFile.listenPort, 8443);
    EXPECT_TRUE(fromFile.english);
    QStringList devices = fromFile.deviceSpecs;
    devices.sort();
    EXPECT_EQ(devices, QStringList({"c=COM3,3,115200", "press1=COM1,1,9600", "press2=COM2,2,19200"}));

    const ServerOptions overridden = ServerOptions::parse(
        QStringList{QStringLiteral("--config"), path} +
        words("--listen 127.0.0.1:9000 --device x=COM5,5,9600 --users /var/lib/vpanel/users --lang ru"));
    ASSERT_TRUE(overridden.error.isEmpty()) << overridden.error.toStdString();
    EXPECT_EQ(overridden.listenAddress, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(overridden.listenPort, 9000);
    EXPECT_EQ(overridden.deviceSpecs, QStringList({"x=COM5,5,9600"}));
    EXPECT_EQ(overridden.usersFile, QStringLiteral("/var/lib/vpanel/users"));
    EXPECT_EQ(overridden.certFile, folder.filePath(QStringLiteral("tls/server.crt")));
    EXPECT_FALSE(overridden.english);

    struct Row {
        QByteArray content;
        const char* error;
    };
    const Row rows[] = {
        {"[server]\nusers=u\nlisten=0.0.0.0:80\n[devices]\na=COM1,1,9600\n", "--insecure-http"},
        {"[server]\nusers=u\nlisten=0.0.0.0:80\ninsecure-http=true\n[devices]\na=COM1,1,9600\n", ""},
        {"[server]\nusers=u\ninsecure-http=maybe\n[devices]\na=COM1,1,9600\n", "insecure-http='maybe'"},
        {"[server]\nusers=u\nlisten=127.0.0.1:80\nlistne=0.0.0.0:80\n[devices]\na=COM1,1,9600\n", "listne"},
        {"[server]\nusers=u\n[device]\na=COM1,1,9600\n", "[device]"},
        {"users=u\n[devices]\na=COM1,1,9600\n", "вне раздела"},
        {"[server]\nusers=u\ndevices=\"a=COM2,1,9600\"\n[devices]\na=COM1,1,9600\n", "a указано дважды"},
        {"[server]\nusers=u\ncert=c.pem\n[devices]\na=COM1,1,9600\n", "--cert и --key"},
        {QByteArray(ServerOptions::maxConfigBytes + 1, ';'), "больше"},
    };
    for (const Row& row : rows)
        expectOutcome(ServerOptions::parse({QStringLiteral("--config"), config(row.content)}), row.error,
                      row.content.left(100).toStdString());
    EXPECT_TRUE(ServerOptions::parse({QStringLiteral("--config"), folder.filePath(QStringLiteral("none.ini"))})
                    .error.contains(QStringLiteral("none.ini")));
}

} // namespace
