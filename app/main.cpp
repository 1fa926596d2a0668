// vpanel: the virtual control panel of a device with an operator console on a serial line.

#include "app/window/QORemoteController.h"
#include "app/window/StartOptions.h"

#include <QAction>
#include <QApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <iostream>
#include <locale>
#include <stdexcept>

namespace {

constexpr int exitUsage = 2;

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

int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    (void)!::write(terminationPipe[1], &byte, 1);
}

// Ctrl+C, a hang-up or a termination request close the window as its close box would, so a
// running connection still sends its stop packet.
void closeOnTerminationSignals(QWidget& window)
{
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, &QWidget::close);
}

} // namespace

int main(int argc, char** argv)
{
    // The display reports every resize at debug level; QT_LOGGING_RULES can bring it back.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QApplication application(argc, argv);
    // After the application, which sets the environment's locale on its own.
    setProcessLocale();

    const StartOptions options = StartOptions::parse(application.arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::wcerr << (options.error + QLatin1Char('\n') + StartOptions::usage()).toStdWString() << std::flush;
        return exitUsage;
    }
    if (options.help) {
        std::wcout << StartOptions::usage().toStdWString() << std::flush;
        return 0;
    }

    QORemoteController window;
    closeOnTerminationSignals(window);
    window.show();
    if (options.english) {
        window.ui().actionEnglish->setChecked(true);
        window.changeLanguage();
    }
    if (options.connection)
        window.setParam(options.connection->port, options.connection->address, options.connection->baudRate);
    return application.exec();
}
