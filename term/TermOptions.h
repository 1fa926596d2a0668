#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

namespace VPanel::Term {

// The program's command line:
//   vpanel-term PORT ADDRESS BAUD [--keys KEYS] [--expect TEXT] [--timeout S] [--lang ru|en]
//   vpanel-term --help | --version
// With --expect it runs as a script, without a terminal.
class TermOptions {
    Q_DECLARE_TR_FUNCTIONS(TermOptions)

public:
    static constexpr int maxAddress = 255;
    static constexpr int minBaudRate = 75;
    static constexpr int maxBaudRate = 4'000'000;
    // Every key is a press and a release queued together; the key row holds this many.
    static constexpr std::size_t maxKeys = 32;
    static constexpr std::chrono::milliseconds defaultTimeout{10'000};
    static constexpr double maxTimeout_s = 3600;

    // Arguments without the program name. An argument that is wrong leaves `error` saying which.
    static TermOptions parse(const QStringList& arguments);
    // English under "--lang en", Russian under "--lang ru", otherwise as the locale asks.
    static bool wantsEnglish(const QStringList& arguments);
    // In the language of the installed translators.
    static QString usage();

    bool scriptMode() const { return expect.has_value(); }

    QString port;
    int address = 0;
    int baudRate = 0;
    std::vector<int> keys; // scan codes, pressed in order once the link is live
    std::optional<QString> expect;
    std::chrono::milliseconds timeout = defaultTimeout;
    bool english = false;
    bool help = false;
    bool version = false;
    QString error;
};

} // namespace VPanel::Term
