// vpanel: the virtual control panel of a device with an operator console on a serial line.

#include "app/display/QOIndicator.h"
#include "app/window/HeadlessOutput.h"
#include "app/window/PortCommands.h"
#include "app/window/QORemoteController.h"
#include "app/window/StartOptions.h"
#include "app/window/TerminationSignals.h"
#include "baselib/platform/Console.h"

#include <QAction>
#include <QApplication>
#include <QTabWidget>
#include <QLoggingCategory>
#include <QTranslator>

#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <locale>
#include <optional>
#include <stdexcept>

namespace {

// A wrong command line, or a start that failed (a recording that cannot be written).
constexpr int exitNotStarted = 2;

// The console's texts are Russian: the first of these locales that the system has becomes
// the process's.
constexpr const char* processLocales[] = {"ru_RU.CP1251", "ru_RU.UTF-8", "C.UTF-8", ""};

void setProcessLocale()
{
    for (const char* name : processLocales) {
        try {
            std::locale::global(std::locale(name));
            std::setlocale(LC_ALL, name);
            return;
        } catch (const std::runtime_error&) {
            continue;
        }
    }
}

// Help, the version and the port commands, when asked for, are answered and end the
// program with the exit code they give.
std::optional<int> answered(const StartOptions& options, const QTranslator* english)
{
    if (options.help)
        std::wcout << StartOptions::usage(english).toStdWString() << std::flush;
    else if (options.version)
        std::wcout << L"vpanel " << VPANEL_VERSION << std::endl;
    else if (options.listPorts)
        return PortCommands::listPorts(std::wcout, std::wcerr);
    else if (!options.pinPort.isEmpty())
        return PortCommands::pinPort(options.pinPort, std::wcout, std::wcerr);
    else
        return std::nullopt;
    return 0;
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    return arguments;
}

// Without a display the panel still runs, showing itself through --print-display and
// --save-window, instead of failing to start.
void chooseScreenlessPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

int main(int argc, char** argv)
{
    KelConsole::openClosedStandardStreams();
    // A reader of the output that goes away (| head) ends the program as SIGTERM does, through
    // the failed write, rather than killing it without its stop packet and closing files.
    std::signal(SIGPIPE, SIG_IGN);
    // The display reports every resize at debug level; QT_LOGGING_RULES can bring it back.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    setProcessLocale();
    // Answered before the application, which needs a display; what only Qt understands
    // (its own options) waits for the parse after it.
    const QStringList arguments = argumentsOf(argc, argv);
    QTranslator english;
    const bool inEnglish =
        StartOptions::wantsEnglish(arguments) && english.load(QStringLiteral(":/Resources/eng.qm"));
    const StartOptions early = StartOptions::parse(arguments);
    if (early.error.isEmpty())
        if (const std::optional<int> exitCode = answered(early, inEnglish ? &english : nullptr))
            return *exitCode;
    chooseScreenlessPlatform();
    QApplication application(argc, argv);
    // After the application, which sets the environment's locale on its own.
    setProcessLocale();

    // Only while the command line is read: the window chooses its language on its own.
    if (inEnglish)
        QCoreApplication::installTranslator(&english);
    const StartOptions options = StartOptions::parse(application.arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::wcerr << (options.error + QLatin1Char('\n') + StartOptions::usage()).toStdWString() << std::flush;
        return exitNotStarted;
    }
    if (const std::optional<int> exitCode = answered(options, nullptr))
        return *exitCode;
    QCoreApplication::removeTranslator(&english);

    QORemoteController window;
    TerminationSignals termination(window);
    if (runsHeadless(options.printDisplay))
        window.setWarningPresenter(printWarning);
    window.show();
    if (options.english) {
        window.ui().actionEnglish->setChecked(true);
        window.changeLanguage();
    }
    if (options.printDisplay) {
        auto* printer = new DisplayPrinter(*window.ui().indicator, stdout);
        QObject::connect(printer, &DisplayPrinter::outputClosed, &termination, &TerminationSignals::terminate);
    }
    if (!options.saveWindowFile.isEmpty())
        new ClosingSnapshot(window, options.saveWindowFile);
    if (!options.recordFile.isEmpty() && !window.startRecording(options.recordFile))
        return exitNotStarted;
    // The first device in the tab there is, which --print-display and --record follow; each
    // further one in a tab of its own, the first staying in view.
    for (qsizetype index = 0; index < options.connections.size(); ++index) {
        const StartOptions::Connection& device = options.connections[index];
        if (index == 0)
            window.setParam(device.port, device.address, device.baudRate);
        else
            window.openInNewTab(device.port, device.address, device.baudRate);
    }
    for (const QString& url : options.remotes)
        window.openRemoteUrl(url);
    if (options.connections.size() + options.remotes.size() > 1)
        window.ui().tabs->setCurrentIndex(0);
    return application.exec();
}
