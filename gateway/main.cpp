// vpanel-gateway: keeps a site's devices linked and publishes their consoles to an MQTT broker.

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Console.h"
#include "datafiles/DeviceDictionary.h"
#include "gateway/Gateway.h"
#include "gateway/GatewayOptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTranslator>

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {
using namespace VPanel;

void print(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s", text.toUtf8().constData());
    std::fflush(stream);
}

// Blocked before any thread starts, so they arrive only through the descriptor.
int stopSignals()
{
    sigset_t stopping;
    sigemptyset(&stopping);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopping, signal);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int descriptor = signalfd(-1, &stopping, SFD_CLOEXEC);
    if (descriptor < 0)
        throw KelBase::RuntimeException(L"signalfd");
    return descriptor;
}

std::map<int, std::string> dictionaryNames()
{
    std::map<int, std::string> names;
    const auto dictionary = readDeviceDictionary(dataFileCandidates(QString::fromLatin1(dictionaryFileName)));
    if (dictionary)
        for (auto entry = dictionary->cbegin(); entry != dictionary->cend(); ++entry)
            names.emplace(entry.key(), entry.value().toStdString());
    return names;
}

int run(const Gateway::GatewayOptions& options)
{
    const QString password = options.passwordFile.isEmpty() ? QString() : Gateway::readPasswordFile(options.passwordFile);
    const int stopDescriptor = stopSignals();
    Panel::LinkParameters base;
    base.language = options.english ? 1 : 0;
    base.deviceNames = dictionaryNames();
    Gateway::Gateway gateway(options, password, base);
    QSocketNotifier stopNotifier(stopDescriptor, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo received{};
        if (read(stopDescriptor, &received, sizeof received) > 0)
            Gateway::logLine(QStringLiteral("stopping on signal %1").arg(received.ssi_signo));
        stopNotifier.setEnabled(false);
        gateway.stop();
        QCoreApplication::quit();
    });
    gateway.start();
    Gateway::logLine(QStringLiteral("started: site %1, %2 device(s), broker %3")
                         .arg(options.site)
                         .arg(options.devices.size())
                         .arg(options.broker));
    return QCoreApplication::exec();
}
} // namespace

int main(int argc, char** argv)
{
    KelConsole::openClosedStandardStreams();
    QCoreApplication application(argc, argv);
    const Gateway::GatewayOptions options = Gateway::GatewayOptions::parse(application.arguments().mid(1));
    if (!options.error.isEmpty()) {
        print(stderr, options.error + QStringLiteral("\n\n") + Gateway::GatewayOptions::usage());
        return 2;
    }
    if (options.help) {
        print(stdout, Gateway::GatewayOptions::usage());
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("vpanel-gateway " VPANEL_VERSION "\n"));
        return 0;
    }
    QTranslator english;
    if (options.english && english.load(QStringLiteral(":/Resources/eng.qm")))
        QCoreApplication::installTranslator(&english);
    try {
        return run(options);
    } catch (const std::exception& error) {
        print(stderr, QString::fromStdWString(KelBase::exceptionMessage(error)) + QLatin1Char('\n'));
        return 1;
    }
}
