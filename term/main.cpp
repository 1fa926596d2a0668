// vpanel-term: a device's panel in a terminal, or a script's check of what its display shows.

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Console.h"
#include "host/ProcessSetup.h"
#include "panel/DeviceLink.h"
#include "term/Sessions.h"
#include "term/StatusTexts.h"
#include "term/TermOptions.h"
#include "term/ViewFeed.h"

#include <QCoreApplication>
#include <QTranslator>

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {
using namespace VPanel;

void print(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s", text.toUtf8().constData());
    std::fflush(stream);
}

// The display's text is UTF-8 whatever the environment's locale says of the terminal.
void chooseUtf8Locale()
{
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

int run(const Term::TermOptions& options)
{
    if (!options.scriptMode() && !(isatty(STDIN_FILENO) && isatty(STDOUT_FILENO))) {
        print(stderr, Term::StatusTexts::needsTerminal() + QLatin1Char('\n'));
        return Term::exitFailed;
    }
    // Before the link's thread, which must not take the signals.
    const int stopSignals = Host::terminationSignals();
    Panel::LinkParameters parameters;
    parameters.port = options.port.toStdString();
    parameters.address = options.address;
    parameters.baudRate = options.baudRate;
    parameters.language = options.english ? 1 : 0;
    parameters.deviceNames = Host::deviceNamesFromDictionary();
    Term::ViewFeed feed(parameters.deviceNames);
    Panel::DeviceLink link(parameters, feed);
    if (options.scriptMode())
        return Term::runScript(link, feed, stopSignals,
                               {options.keys, options.expect->toStdString(), options.timeout}, stdout);
    return Term::runInTerminal(link, feed, stopSignals);
}
} // namespace

int main(int argc, char** argv)
{
    KelConsole::openClosedStandardStreams();
    QCoreApplication application(argc, argv);
    // After the application, which sets the environment's locale on its own.
    chooseUtf8Locale();
    const QStringList arguments = application.arguments().mid(1);
    QTranslator english;
    if (Term::TermOptions::wantsEnglish(arguments) && english.load(QStringLiteral(":/Resources/eng.qm")))
        QCoreApplication::installTranslator(&english);

    const Term::TermOptions options = Term::TermOptions::parse(arguments);
    if (!options.error.isEmpty()) {
        print(stderr, options.error + QStringLiteral("\n\n") + Term::TermOptions::usage());
        return Term::exitFailed;
    }
    if (options.help) {
        print(stdout, Term::TermOptions::usage());
        return 0;
    }
    if (options.version) {
        print(stdout, QStringLiteral("vpanel-term " VPANEL_VERSION "\n"));
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        print(stderr, QString::fromStdWString(KelBase::exceptionMessage(error)) + QLatin1Char('\n'));
        return Term::exitFailed;
    }
}
