// Writes a line-settings document or reads one back, for tests that cross processes.
//   comm_settings_tool write FILE BAUD BYTESIZE PARITY STOPBITS DTR RTS   (enumeration codes)
//   comm_settings_tool read FILE OUT
// read writes "BAUD BYTESIZE PARITY STOPBITS DTR RTS CHANGES" to OUT, CHANGES being the
// number of changed signals the load raised. Exit status: 0 done, 1 the load gave false,
// 2 an exception (its message on standard error), 3 wrong usage.
#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Conversion.h"
#include "baselib/signals/SignalObserver.h"
#include "comm/serial/CommSettings.h"
#include "s11n/XmlDocument.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

using KelComm::Serial::CommSettings;

class ChangeCounter : public KelBase::SignalObserver<CommSettings::SignalSubject> {
public:
    explicit ChangeCounter(const CommSettings& settings) { connect(settings.signalSubject()); }
    ~ChangeCounter() { disconnect(); }
    void changed(const CommSettings*) override { ++count; }
    int count = 0;
};

int write(char** argv)
{
    const CommSettings settings(std::atol(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]),
                                std::atoi(argv[7]), std::atoi(argv[8]));
    s11n::s11n_node root;
    if (!s11n::serialize(root, settings))
        return 1;
    s11n::save_node(root, std::filesystem::path(argv[2]));
    return 0;
}

int read(char** argv)
{
    CommSettings settings;
    const ChangeCounter counter(settings);
    if (!s11n::deserialize(s11n::load_node(std::filesystem::path(argv[2])), settings))
        return 1;
    std::ofstream out(argv[3]);
    out << settings.baudRate() << ' ' << settings.byteSize() << ' ' << settings.parity() << ' '
        << settings.stopBits() << ' ' << settings.dtrControl() << ' ' << settings.rtsControl() << ' '
        << counter.count << '\n';
    return out ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "write" && argc == 9)
            return write(argv);
        if (command == "read" && argc == 4)
            return read(argv);
    } catch (const std::exception& error) {
        std::cerr << KelBase::Conversion::stringToUTF8(KelBase::exceptionMessage(error)) << '\n';
        return 2;
    }
    std::cerr << "usage: comm_settings_tool write FILE BAUD BYTESIZE PARITY STOPBITS DTR RTS\n"
                 "       comm_settings_tool read FILE OUT\n";
    return 3;
}
