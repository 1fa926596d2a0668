#include "server/ServerOptions.h"

#include "datafiles/ProgramArguments.h"
#include "server/UserStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace VPanel::Server {

namespace {

const char* const usageText = QT_TRANSLATE_NOOP("ServerOptions",
    "Использование: vpanel-server --users ФАЙЛ --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ [--device ...] [параметры]\n"
    "               vpanel-server --users ФАЙЛ --add-user ИМЯ --role operator|viewer\n"
    "               vpanel-server --users ФАЙЛ --remove-user ИМЯ\n"
    "Пульты устройств в браузере: связь с каждым устройством и веб-страницы для операторов.\n"
    "\n"
    "  --config ФАЙЛ        настройки из INI-файла; параметры командной строки важнее\n"
    "  --users ФАЙЛ         файл пользователей (права 600)\n"
    "  --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ  устройство; ИМЯ входит в адрес его страницы\n"
    "  --listen АДРЕС:ПОРТ  где принимать соединения (по умолчанию 127.0.0.1:8080;\n"
    "                       IPv6 в скобках: [::1]:8080)\n"
    "  --cert ФАЙЛ          сертификат TLS (PEM); с --key нужен на любом адресе,\n"
    "                       кроме локального\n"
    "  --key ФАЙЛ           закрытый ключ TLS (PEM) к сертификату\n"
    "  --insecure-http      разрешить HTTP без TLS на нелокальном адресе\n"
    "  --add-user ИМЯ       добавить пользователя или сменить ему пароль и роль;\n"
    "                       пароль читается из стандартного ввода (одна строка)\n"
    "  --role operator|viewer  роль для --add-user: оператор нажимает клавиши,\n"
    "                       наблюдатель только смотрит\n"
    "  --remove-user ИМЯ    удалить пользователя\n"
    "  --lang ru|en         язык программы\n"
    "  --help               эта справка\n"
    "  --version            версия программы\n"
    "\n"
    "Файл настроек:\n"
    "  [server]\n"
    "  users=/etc/vpanel/users\n"
    "  listen=0.0.0.0:8443\n"
    "  cert=server.crt\n"
    "  key=server.key\n"
    "  [devices]\n"
    "  press1=COM1,1,9600\n");

// What came from the file and the command line, before it is checked.
struct Settings {
    std::optional<QString> users, listen, cert, key, lang, insecureHttp;
    QStringList devices;
};

[[noreturn]] void fail(const QString& text) { throw ServerException(text.toStdWString()); }

QString inFolderOf(const QString& configFile, const QString& path)
{
    return QDir(QFileInfo(configFile).absolutePath()).filePath(path);
}

void readServerGroup(QSettings& file, const QString& path, Settings& settings)
{
    file.beginGroup(QStringLiteral("server"));
    for (const QString& key : file.childKeys()) {
        const QString value = file.value(key).toStringList().join(QLatin1Char(','));
        if (key == QLatin1String("users"))
            settings.users = inFolderOf(path, value);
        else if (key == QLatin1String("cert"))
            settings.cert = inFolderOf(path, value);
        else if (key == QLatin1String("key"))
            settings.key = inFolderOf(path, value);
        else if (key == QLatin1String("listen"))
            settings.listen = value;
        else if (key == QLatin1String("lang"))
            settings.lang = value;
        else if (key == QLatin1String("insecure-http"))
            settings.insecureHttp = value;
        else if (key == QLatin1String("devices"))
            settings.devices += file.value(key).toStringList();
        else
            fail(ServerOptions::tr("Файл настроек %1: неизвестный ключ %2 в [server]").arg(path, key));
    }
    file.endGroup();
}

// A device's value holds commas, which QSettings reads as a list: joined back it is the definition.
void readDevicesGroup(QSettings& file, Settings& settings)
{
    file.beginGroup(QStringLiteral("devices"));
    for (const QString& name : file.childKeys())
        settings.devices << name + QLatin1Char('=') + file.value(name).toStringList().join(QLatin1Char(','));
    file.endGroup();
}

Settings readConfig(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        fail(ServerOptions::tr("Файл настроек %1 не найден или недоступен для чтения").arg(path));
    if (info.size() > ServerOptions::maxConfigBytes)
        fail(ServerOptions::tr("Файл настроек %1 больше %2 байт").arg(path).arg(ServerOptions::maxConfigBytes));
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        fail(ServerOptions::tr("Файл настроек %1: ошибка формата INI").arg(path));
    for (const QString& group : file.childGroups())
        if (group != QLatin1String("server") && group != QLatin1String("devices"))
            fail(ServerOptions::tr("Файл настроек %1: неизвестный раздел [%2] (допустимы [server] и [devices])")
                     .arg(path, group));
    if (!file.childKeys().isEmpty())
        fail(ServerOptions::tr("Файл настроек %1: ключ %2 вне раздела").arg(path, file.childKeys().first()));
    Settings settings;
    readServerGroup(file, path, settings);
    readDevicesGroup(file, settings);
    return settings;
}

bool parseSwitch(const QString& text, const QString& name)
{
    const QString value = text.trimmed().toLower();
    if (value == QLatin1String("true") || value == QLatin1String("yes") || value == QLatin1String("1"))
        return true;
    if (value == QLatin1String("false") || value == QLatin1String("no") || value == QLatin1String("0"))
        return false;
    fail(ServerOptions::tr("Неверное значение %1='%2' (допустимы true и false)").arg(name, text));
}

// HOST:PORT, an IPv6 host in brackets.
void parseListen(const QString& text, ServerOptions& options)
{
    const auto wrong = [&] {
        fail(ServerOptions::tr("Неверный адрес '%1' для --listen: ожидается АДРЕС:ПОРТ, например 0.0.0.0:8443 или [::]:8443")
                 .arg(text));
    };
    const auto colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        wrong();
    QString host = text.left(colon);
    // Port 0: any free port, which the program prints when it listens.
    const auto port = ProgramArguments::decimalInRange(text.mid(colon + 1), 0, 65535);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        wrong();
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        wrong();
    if (!port)
        wrong();
    options.listenAddress = address;
    options.listenPort = static_cast<quint16>(*port);
}

void readDevices(ServerOptions& options)
{
    QStringList names;
    for (const QString& text : options.deviceSpecs) {
        try {
            options.devices.push_back(Host::parseDeviceSpec(text));
        } catch (const Host::DeviceSpecException& error) {
            fail(QString::fromStdWString(error.message()));
        }
        const QString name = QString::fromStdString(options.devices.back().name);
        if (names.contains(name))
            fail(ServerOptions::tr("Устройство %1 указано дважды").arg(name));
        names << name;
    }
}

void checkListening(const ServerOptions& options)
{
    if (options.certFile.isEmpty() != options.keyFile.isEmpty())
        fail(ServerOptions::tr("--cert и --key указываются вместе: сертификат TLS и его закрытый ключ"));
    if (!options.listenAddress.isLoopback() && options.certFile.isEmpty() && !options.insecureHttp)
        fail(ServerOptions::tr("Адрес %1 доступен не только с этого компьютера: укажите --cert ФАЙЛ и --key ФАЙЛ для TLS "
                "или, только в доверенной сети, --insecure-http")
                 .arg(options.listenAddress.toString()));
}

void checkAccounts(const ServerOptions& options)
{
    if (options.usersFile.isEmpty())
        fail(ServerOptions::tr("Не указан файл пользователей: --users ФАЙЛ"));
    if (!options.addUser.isEmpty() && !options.removeUser.isEmpty())
        fail(ServerOptions::tr("--add-user и --remove-user нельзя указать вместе"));
    for (const QString& name : {options.addUser, options.removeUser})
        if (!name.isEmpty() && !UserStore::isValidName(name))
            fail(UserStore::invalidNameMessage(name));
    if (!options.addUser.isEmpty() && !options.role)
        fail(ServerOptions::tr("--add-user требует --role operator или --role viewer"));
    if (options.addUser.isEmpty() && options.role)
        fail(ServerOptions::tr("--role действует только с --add-user"));
}

// The command line's settings over the file's; fills `options` and checks the rules.
void apply(const Settings& settings, ServerOptions& options)
{
    if (settings.users)
        options.usersFile = *settings.users;
    options.deviceSpecs = settings.devices;
    if (settings.listen)
        parseListen(*settings.listen, options);
    options.certFile = settings.cert.value_or(QString());
    options.keyFile = settings.key.value_or(QString());
    if (settings.insecureHttp)
        options.insecureHttp = parseSwitch(*settings.insecureHttp, QStringLiteral("insecure-http"));
    if (settings.lang) {
        if (*settings.lang != QLatin1String("ru") && *settings.lang != QLatin1String("en"))
            fail(ServerOptions::tr("Неизвестный язык '%1' (допустимы ru и en)").arg(*settings.lang));
        options.english = *settings.lang == QLatin1String("en");
    }
    checkAccounts(options);
    options.devices.clear();
    readDevices(options);
    const bool serving = options.addUser.isEmpty() && options.removeUser.isEmpty();
    if (serving && options.deviceSpecs.isEmpty())
        fail(ServerOptions::tr("Не указано ни одного устройства: --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ"));
    checkListening(options);
}

void parseArguments(const QStringList& arguments, ServerOptions& options)
{
    std::optional<QString> config;
    Settings command;
    std::optional<QString> role;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        static const QStringList valued = {
            QStringLiteral("--config"), QStringLiteral("--users"),    QStringLiteral("--device"),
            QStringLiteral("--listen"), QStringLiteral("--cert"),     QStringLiteral("--key"),
            QStringLiteral("--lang"),   QStringLiteral("--add-user"), QStringLiteral("--remove-user"),
            QStringLiteral("--role")};
        if (valued.contains(word) && i + 1 >= arguments.size())
            fail(ServerOptions::tr("Не указано значение после %1").arg(word));
        if (word == QLatin1String("--help") || word == QLatin1String("-h"))
            options.help = true;
        else if (word == QLatin1String("--version"))
            options.version = true;
        else if (word == QLatin1String("--insecure-http"))
            command.insecureHttp = QStringLiteral("true");
        else if (word == QLatin1String("--config") && config)
            fail(ServerOptions::tr("--config указан дважды"));
        else if (word == QLatin1String("--config"))
            config = arguments[++i];
        else if (word == QLatin1String("--users"))
            command.users = arguments[++i];
        else if (word == QLatin1String("--device"))
            command.devices << arguments[++i];
        else if (word == QLatin1String("--listen"))
            command.listen = arguments[++i];
        else if (word == QLatin1String("--cert"))
            command.cert = arguments[++i];
        else if (word == QLatin1String("--key"))
            command.key = arguments[++i];
        else if (word == QLatin1String("--lang"))
            command.lang = arguments[++i];
        else if (word == QLatin1String("--add-user"))
            options.addUser = arguments[++i];
        else if (word == QLatin1String("--remove-user"))
            options.removeUser = arguments[++i];
        else if (word == QLatin1String("--role"))
            role = arguments[++i];
        else if (word.startsWith(QLatin1Char('-')))
            fail(ServerOptions::tr("Неизвестный параметр '%1'").arg(word));
        else
            fail(ServerOptions::tr("Лишний аргумент '%1'").arg(word));
    }
    if (options.help || options.version)
        return;
    if (role) {
        options.role = roleFromName(*role);
        if (!options.role)
            fail(ServerOptions::tr("Неизвестная роль '%1' (допустимы operator и viewer)").arg(*role));
    }
    Settings settings = config ? readConfig(*config) : Settings{};
    for (auto [mine, theirs] : {std::pair{&settings.users, &command.users}, {&settings.listen, &command.listen},
                                {&settings.cert, &command.cert}, {&settings.key, &command.key},
                                {&settings.lang, &command.lang}, {&settings.insecureHttp, &command.insecureHttp}})
        if (*theirs)
            *mine = *theirs;
    // Devices on the command line replace the file's, as every other setting does.
    if (!command.devices.isEmpty())
        settings.devices = command.devices;
    apply(settings, options);
}

} // namespace

ServerOptions ServerOptions::parse(const QStringList& arguments)
{
    ServerOptions options;
    try {
        parseArguments(arguments, options);
    } catch (const ServerException& refusal) {
        options.error = QString::fromStdWString(refusal.message());
    }
    return options;
}

QString ServerOptions::usage() { return tr(usageText); }

} // namespace VPanel::Server
