// vpanel-gateway: keeps a site's devices linked and publishes their consoles to an MQTT broker.

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Console.h"
#include "datafiles/ProgramArguments.h"
#include "gateway/Gateway.h"
#include "gateway/GatewayOptions.h"
#include "host/ProcessSetup.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTranslator>

#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

namespace {
using namespace VPanel;

void print(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s", text.toUtf8().constData());
    std::fflush(stream);
}

int run(const Gateway::GatewayOptions& options, bool english)
{
    const QString password = options.passwordFile.isEmpty() ? QString() : Gateway::readPasswordFile(options.passwordFile);
    // Before any thread starts, so that they arrive only through the descriptor.
    const int stopDescriptor = Host::terminationSignals();
    Panel::LinkParameters base;
    base.language = english ? 1 : 0;
    base.deviceNames = Host::deviceNamesFromDictionary();
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
    const QStringList arguments = application.arguments().mid(1);
    const Gateway::GatewayOptions options = Gateway::GatewayOptions::parse(arguments);
    const bool english = options.languageGiven ? options.english : ProgramArguments::wantsEnglish(arguments);
    if (!options.error.isEmpty()) {
        print(stderr, options.error + QStringLiteral("\n\n") + Gateway::GatewayOptions::usage(english));
        return 2;
    }
    if (options.help) {
        print(stdout, Gateway::GatewayOptions::usage(english));
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("vpanel-gateway " VPANEL_VERSION "\n"));
        return 0;
    }
    QTranslator translator;
    if (english && translator.load(QStringLiteral(":/Resources/eng.qm")))
        QCoreApplication::installTranslator(&translator);
    try {
        return run(options, english);
    } catch (const std::exception& error) {
        print(stderr, QString::fromStdWString(KelBase::exceptionMessage(error)) + QLatin1Char('\n'));
        return 1;
    }
}
