#include "host/ProcessSetup.h"

#include "baselib/exceptions/Exception.h"
#include "datafiles/DeviceDictionary.h"

#include <signal.h>
#include <sys/signalfd.h>

namespace VPanel::Host {

int terminationSignals()
{
    sigset_t termination;
    sigemptyset(&termination);
    // Ctrl+\ too: its default would leave a terminal raw and the device without a stop.
    for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        sigaddset(&termination, signal);
    pthread_sigmask(SIG_BLOCK, &termination, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const int descriptor = signalfd(-1, &termination, SFD_CLOEXEC);
    if (descriptor < 0)
        throw KelBase::RuntimeException(L"signalfd");
    return descriptor;
}

std::map<int, std::string> deviceNamesFromDictionary()
{
    std::map<int, std::string> names;
    if (const auto dictionary = readDeviceDictionary(dataFileCandidates(QString::fromLatin1(dictionaryFileName))))
        for (auto entry = dictionary->cbegin(); entry != dictionary->cend(); ++entry)
            names[entry.key()] = entry.value().toStdString();
    return names;
}

} // namespace VPanel::Host
