#include "gateway/GatewayOptions.h"

#include "gateway/GatewayException.h"
#include "mqtt/BrokerAddress.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <set>

namespace VPanel::Gateway {

namespace {
constexpr qint64 maxPasswordFileBytes = 4096;
// A site's settings and a few dozen devices fit many times over.
constexpr qint64 maxConfigFileBytes = 256 * 1024;

bool validSiteName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_.-]{1,32}$"));
    return pattern.match(name).hasMatch();
}

// A value QSettings read as a list where the text had commas.
// systemd hands a credential to the service alone, by an ACL on a read-only file whose mask
// shows as the group's read bit: its mode says nothing about who else may read it.
bool isServiceCredential(const QFileInfo& file)
{
    const QString directory = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    return !directory.isEmpty() && file.canonicalPath() == QFileInfo(directory).canonicalFilePath();
}

QString settingText(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(',')) : value.toString();
}

void readConfig(const QString& path, GatewayOptions& options, QStringList& deviceTexts)
{
    const QFileInfo info(path);
    if (!info.isReadable()) {
        options.error = QStringLiteral("Cannot read the configuration file %1").arg(path);
        return;
    }
    // A pipe or a device would hold the start up or fill the memory.
    if (!info.isFile() || info.size() > maxConfigFileBytes) {
        options.error = QStringLiteral("The configuration file %1 is not a plain file of at most %2 KiB")
                            .arg(path)
                            .arg(maxConfigFileBytes / 1024);
        return;
    }
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        options.error = QStringLiteral("The configuration file %1 is not a valid INI file").arg(path);
        return;
    }
    options.broker = settingText(file.value(QStringLiteral("broker")));
    options.site = settingText(file.value(QStringLiteral("site")));
    options.username = settingText(file.value(QStringLiteral("username")));
    options.passwordFile = settingText(file.value(QStringLiteral("password-file")));
    options.caFile = settingText(file.value(QStringLiteral("cafile")));
    const QString language = settingText(file.value(QStringLiteral("lang")));
    options.languageGiven = !language.isEmpty();
    options.english = language == QLatin1String("en");
    file.beginGroup(QStringLiteral("devices"));
    // A '/' in a name makes it a group of its own to QSettings: refused rather than passed by.
    if (!file.childGroups().isEmpty()) {
        options.error = QStringLiteral("Device %1/... in %2: a device's name is 1 to 32 letters, digits, '_', '.' or '-'")
                            .arg(file.childGroups().first(), path);
        return;
    }
    for (const QString& name : file.childKeys())
        deviceTexts << name + QLatin1Char('=') + settingText(file.value(name));
    file.endGroup();
}

QString checked(GatewayOptions& options, const QStringList& deviceTexts)
{
    if (options.broker.isEmpty())
        return QStringLiteral("No broker: give --broker mqtt://HOST[:PORT] or mqtts://HOST[:PORT]");
    try {
        Mqtt::BrokerAddress::parse(options.broker);
    } catch (const KelBase::Exception& error) {
        return QString::fromWCharArray(error.message());
    }
    if (!validSiteName(options.site))
        return QStringLiteral("--site needs a name of 1 to 32 letters, digits, '_', '.' or '-'");
    if (deviceTexts.isEmpty())
        return QStringLiteral("No device: give --device NAME=PORT,ADDRESS,BAUD at least once");
    std::set<std::string> names;
    for (const QString& text : deviceTexts) {
        try {
            options.devices.push_back(Host::parseDeviceSpec(text));
        } catch (const KelBase::Exception& error) {
            return QString::fromWCharArray(error.message());
        }
        if (!names.insert(options.devices.back().name).second)
            return QStringLiteral("Device %1 is named twice").arg(QString::fromStdString(options.devices.back().name));
    }
    if (!options.passwordFile.isEmpty() && options.username.isEmpty())
        return QStringLiteral("--password-file needs --username");
    return {};
}
} // namespace

GatewayOptions GatewayOptions::parse(const QStringList& arguments)
{
    GatewayOptions options;
    QStringList deviceTexts;
    const QStringList valued = {QStringLiteral("--broker"),        QStringLiteral("--site"),   QStringLiteral("--device"),
                                QStringLiteral("--username"),      QStringLiteral("--cafile"), QStringLiteral("--config"),
                                QStringLiteral("--password-file"), QStringLiteral("--lang")};
    // The file first, whatever its place, so that the command line overrides it.
    for (int i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("--config")) {
            readConfig(arguments[i + 1], options, deviceTexts);
            if (!options.error.isEmpty())
                return options;
        }
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
            return options;
        }
        if (name == QLatin1String("--version")) {
            options.version = true;
            return options;
        }
        if (name == QLatin1String("--password")) {
            options.error = QStringLiteral("--password is not taken: every user of this computer could read it on the "
                                           "command line. Put it in a file only you can read and give --password-file");
            return options;
        }
        if (!valued.contains(name)) {
            options.error = QStringLiteral("Unknown argument %1").arg(name);
            return options;
        }
        if (i + 1 >= arguments.size()) {
            options.error = QStringLiteral("%1 needs a value").arg(name);
            return options;
        }
        const QString value = arguments[++i];
        if (name == QLatin1String("--broker"))
            options.broker = value;
        else if (name == QLatin1String("--site"))
            options.site = value;
        else if (name == QLatin1String("--device"))
            deviceTexts << value;
        else if (name == QLatin1String("--username"))
            options.username = value;
        else if (name == QLatin1String("--password-file"))
            options.passwordFile = value;
        else if (name == QLatin1String("--cafile"))
            options.caFile = value;
        else if (name == QLatin1String("--lang")) {
            options.languageGiven = true;
            options.english = value == QLatin1String("en");
        }
    }
    options.error = checked(options, deviceTexts);
    return options;
}

QString GatewayOptions::usage(bool english)
{
    if (english)
        return QStringLiteral(
            "Usage: vpanel-gateway --broker URL --site NAME --device NAME=PORT,ADDRESS,BAUD [--device ...]\n"
            "                      [--username USER --password-file FILE] [--cafile FILE] [--lang ru|en]\n"
            "       vpanel-gateway --config FILE [options]\n"
            "Keeps each device's link and publishes its state, screen, glyphs and events under\n"
            "vpanel/SITE/DEVICE/ on the MQTT broker; takes keys from vpanel/SITE/DEVICE/keys.\n"
            "\n"
            "  --broker URL          mqtt://HOST[:1883] or mqtts://HOST[:8883]\n"
            "  --site NAME           the site's name in the topics (1-32 of A-Z a-z 0-9 _ . -)\n"
            "  --device NAME=PORT,ADDRESS,BAUD  a device, e.g. boiler1=COM7,1,115200; repeatable\n"
            "  --username USER       the broker account\n"
            "  --password-file FILE  the account's password, the file's first line (mode 600)\n"
            "  --cafile FILE         the CA certificate to trust for mqtts (default: the system's)\n"
            "  --config FILE         the same settings from an INI file\n"
            "  --lang ru|en          the language of event texts and of this help\n"
            "  --help                this help\n"
            "  --version             the program's version\n");
    return QStringLiteral(
        "Использование: vpanel-gateway --broker URL --site ИМЯ --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ [--device ...]\n"
        "                      [--username ПОЛЬЗОВАТЕЛЬ --password-file ФАЙЛ] [--cafile ФАЙЛ] [--lang ru|en]\n"
        "       vpanel-gateway --config ФАЙЛ [параметры]\n"
        "Держит связь с каждым устройством и публикует его состояние, экран, символы и события\n"
        "в vpanel/ОБЪЕКТ/УСТРОЙСТВО/ на брокере MQTT; клавиши берёт из vpanel/ОБЪЕКТ/УСТРОЙСТВО/keys.\n"
        "\n"
        "  --broker URL          mqtt://ХОСТ[:1883] или mqtts://ХОСТ[:8883]\n"
        "  --site ИМЯ            имя объекта в темах (1-32 из A-Z a-z 0-9 _ . -)\n"
        "  --device ОПИСАНИЕ     ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ, например boiler1=COM7,1,115200; можно повторять\n"
        "  --username ПОЛЬЗОВАТЕЛЬ  учётная запись на брокере\n"
        "  --password-file ФАЙЛ  пароль учётной записи, первая строка файла (права 600)\n"
        "  --cafile ФАЙЛ         сертификат ЦС для mqtts (по умолчанию системные)\n"
        "  --config ФАЙЛ         те же настройки из INI-файла\n"
        "  --lang ru|en          язык текстов событий и этой справки\n"
        "  --help                эта справка\n"
        "  --version             версия программы\n");
}

QString readPasswordFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw GatewayException(QStringLiteral("The password file %1 does not exist").arg(path).toStdWString());
    // Opening a pipe would wait for a writer for ever.
    if (!info.isFile())
        throw GatewayException(QStringLiteral("The password file %1 is not a plain file").arg(path).toStdWString());
    if (!isServiceCredential(info) && (info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        throw GatewayException(
            QStringLiteral("The password file %1 may be read by others: chmod 600 it").arg(path).toStdWString());
    if (info.size() > maxPasswordFileBytes)
        throw GatewayException(QStringLiteral("The password file %1 is too large for a password").arg(path).toStdWString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw GatewayException(QStringLiteral("Cannot read the password file %1").arg(path).toStdWString());
    const QByteArray firstLine = file.read(maxPasswordFileBytes).split('\n').first();
    return QString::fromUtf8(firstLine.endsWith('\r') ? firstLine.chopped(1) : firstLine);
}

} // namespace VPanel::Gateway
