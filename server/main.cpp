// vpanel-server: the panels of the devices it keeps, served to browsers and scripts.

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Console.h"
#include "datafiles/ProgramArguments.h"
#include "host/KeptDevice.h"
#include "host/ProcessSetup.h"
#include "server/Audit.h"
#include "server/Listener.h"
#include "server/LoginThrottle.h"
#include "server/PasswordInput.h"
#include "server/ServerOptions.h"
#include "server/SessionStore.h"
#include "server/UserStore.h"
#include "server/WebServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTranslator>

#include <unistd.h>

#include <cstdio>

namespace {
using namespace VPanel;

constexpr int exitDone = 0;
constexpr int exitFailed = 2;

void print(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
    std::fflush(stream);
}

int editUsers(const Server::ServerOptions& options)
{
    Server::UserStore users(options.usersFile);
    users.load();
    if (!options.removeUser.isEmpty()) {
        if (!users.remove(options.removeUser)) {
            print(stderr, QStringLiteral("vpanel-server: no user %1 in %2").arg(options.removeUser, options.usersFile));
            return exitFailed;
        }
        print(stdout, QStringLiteral("vpanel-server: user %1 removed").arg(options.removeUser));
        return exitDone;
    }
    users.add(options.addUser, *options.role, Server::readPassword(STDIN_FILENO));
    print(stdout, QStringLiteral("vpanel-server: user %1 (%2) saved in %3")
                      .arg(options.addUser, QLatin1String(Server::roleName(*options.role)), options.usersFile));
    return exitDone;
}

int serve(const Server::ServerOptions& options)
{
    // Before any thread, which must not take the signals.
    const int stopSignals = Host::terminationSignals();
    Server::UserStore users(options.usersFile);
    users.load();
    if (users.size() == 0) {
        print(stderr, QStringLiteral("vpanel-server: %1 holds no user; add one first: vpanel-server --users %1 "
                                     "--add-user NAME --role operator")
                          .arg(options.usersFile));
        return exitFailed;
    }
    Panel::LinkParameters base;
    base.language = options.english ? 1 : 0;
    base.deviceNames = Host::deviceNamesFromDictionary();
    std::vector<std::unique_ptr<Host::KeptDevice>> devices;
    std::vector<Host::KeptDevice*> kept;
    for (const Host::DeviceSpec& definition : options.devices) {
        devices.push_back(std::make_unique<Host::KeptDevice>(definition, base));
        kept.push_back(devices.back().get());
    }

    const bool secure = !options.certFile.isEmpty();
    const Server::TlsFiles tls{options.certFile, options.keyFile};
    std::unique_ptr<QTcpServer> listener =
        Server::openListener(options.listenAddress, options.listenPort, secure ? &tls : nullptr);
    const QString url = QStringLiteral("%1://%2:%3/")
                            .arg(secure ? QStringLiteral("https") : QStringLiteral("http"))
                            .arg(options.listenAddress.protocol() == QAbstractSocket::IPv6Protocol
                                     ? QLatin1Char('[') + options.listenAddress.toString() + QLatin1Char(']')
                                     : options.listenAddress.toString())
                            .arg(listener->serverPort());

    Server::SessionStore sessions;
    Server::LoginThrottle throttle;
    Server::WebServer server({users, sessions, throttle}, kept, secure);
    server.bind(listener.release());

    QSocketNotifier stop(stopSignals, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
    for (const auto& device : devices)
        device->start();
    print(stdout, QStringLiteral("vpanel-server: listening on %1").arg(url));
    Server::Audit::note(QStringLiteral("listening on %1 with %2 devices").arg(url).arg(devices.size()));
    QCoreApplication::exec();
    Server::Audit::note(QStringLiteral("stopping: the devices get their stop packets"));
    for (const auto& device : devices)
        device->stop();
    return exitDone;
}
} // namespace

int main(int argc, char** argv)
{
    KelConsole::openClosedStandardStreams();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vpanel-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VPANEL_VERSION));
    const QStringList arguments = application.arguments().mid(1);

    // Before the options, whose errors and help are in the chosen language.
    QTranslator english;
    const bool englishAsked = ProgramArguments::wantsEnglish(arguments);
    if (englishAsked && english.load(QStringLiteral(":/Resources/eng.qm")))
        QCoreApplication::installTranslator(&english);
    const Server::ServerOptions options = Server::ServerOptions::parse(arguments);
    // A configuration file may ask for English too.
    if (options.english && !englishAsked && english.load(QStringLiteral(":/Resources/eng.qm")))
        QCoreApplication::installTranslator(&english);
    if (!options.error.isEmpty()) {
        print(stderr, options.error + QStringLiteral("\n\n") + Server::ServerOptions::usage());
        return exitFailed;
    }
    if (options.help) {
        print(stdout, Server::ServerOptions::usage());
        return exitDone;
    }
    if (options.version) {
        print(stdout, QStringLiteral("vpanel-server " VPANEL_VERSION));
        return exitDone;
    }
    try {
        if (!options.addUser.isEmpty() || !options.removeUser.isEmpty())
            return editUsers(options);
        return serve(options);
    } catch (const std::exception& error) {
        print(stderr, QStringLiteral("vpanel-server: ") + QString::fromStdWString(KelBase::exceptionMessage(error)));
        return exitFailed;
    }
}
