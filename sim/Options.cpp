#include "sim/Options.h"

#include "baselib/platform/Console.h"
#include "link/Contents.h"
#include "sim/PortPublication.h"
#include "sim/SimErrors.h"

#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/classification.hpp>
#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

namespace VPanel::Sim {

namespace {
using std::chrono::milliseconds;

constexpr unsigned long maxMilliseconds = 3'600'000;
constexpr unsigned long maxBaudRate = 4'000'000;
// An exchange reply carries at most four rows, and all of them with eight glyphs must fit
// into one frame.
constexpr unsigned long maxConsoleRows = VPanel::Link::exchangeRows;
constexpr unsigned long maxConsolePlaces = 40;

const char* const valueOptions[] = {
    "--port", "--device", "--glyphs", "--baud", "--seed", "--drop", "--corrupt", "--split", "--split-gap",
    "--delay", "--silent-after", "--silent-for", "--console-version", "--console", "--extra-byte",
    "--replay", "--lang",
};

bool takesValue(const std::string& name)
{
    return std::any_of(std::begin(valueOptions), std::end(valueOptions), [&](const char* option) { return name == option; });
}

struct Option {
    std::string name;
    std::string value;
};

std::vector<Option> split(const std::vector<std::string>& words)
{
    std::vector<Option> options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 && word != "-h")
            throwSimulatorError(SimMessage::UnexpectedArgument, word);
        const auto equals = word.find('=');
        if (equals != std::string::npos) {
            options.push_back({word.substr(0, equals), word.substr(equals + 1)});
            continue;
        }
        if (!takesValue(word)) {
            options.push_back({word, {}});
            continue;
        }
        if (i + 1 >= words.size())
            throwSimulatorError(SimMessage::MissingValue, word);
        options.push_back({word, words[++i]});
    }
    return options;
}

unsigned long unsignedValue(const Option& option, unsigned long maximum)
{
    unsigned long value = 0;
    if (option.value.empty() || option.value.find_first_not_of("0123456789") != std::string::npos ||
        !boost::conversion::try_lexical_convert(option.value, value) || value > maximum)
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    return value;
}

double probabilityValue(const Option& option)
{
    double value = 0.0;
    if (!boost::conversion::try_lexical_convert(option.value, value) || !(value >= 0.0 && value <= 1.0))
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    return value;
}

milliseconds millisecondsValue(const Option& option) { return milliseconds(unsignedValue(option, maxMilliseconds)); }

std::uint8_t byteValue(const Option& option, const std::string& text)
{
    return static_cast<std::uint8_t>(unsignedValue({option.name, text}, std::numeric_limits<std::uint8_t>::max()));
}

// ADDRESS[:IDENTIFIER[:MAJOR.MINOR]]
FirmwareSetup deviceValue(const Option& option)
{
    std::vector<std::string> parts;
    boost::split(parts, option.value, boost::is_any_of(":"));
    if (parts.size() > 3)
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    FirmwareSetup setup;
    setup.address = byteValue(option, parts[0]);
    if (parts.size() > 1)
        setup.identifier = static_cast<std::uint16_t>(
            unsignedValue({option.name, parts[1]}, std::numeric_limits<std::uint16_t>::max()));
    if (parts.size() > 2) {
        const auto dot = parts[2].find('.');
        if (dot == std::string::npos)
            throwSimulatorError(SimMessage::BadValue, option.value, option.name);
        setup.major = byteValue(option, parts[2].substr(0, dot));
        setup.minor = byteValue(option, parts[2].substr(dot + 1));
    }
    return setup;
}

// ROWSxPLACES
std::pair<std::uint8_t, std::uint8_t> consoleValue(const Option& option)
{
    const auto times = option.value.find('x');
    if (times == std::string::npos)
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    const auto rows = unsignedValue({option.name, option.value.substr(0, times)}, maxConsoleRows);
    const auto places = unsignedValue({option.name, option.value.substr(times + 1)}, maxConsolePlaces);
    if (rows == 0 || places == 0)
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    return {static_cast<std::uint8_t>(rows), static_cast<std::uint8_t>(places)};
}

// A command code in decimal or, after "0x", in hexadecimal.
std::uint16_t commandValue(const Option& option)
{
    constexpr unsigned long maxCommand = std::numeric_limits<std::uint16_t>::max();
    const std::string& text = option.value;
    if (text.rfind("0x", 0) != 0)
        return static_cast<std::uint16_t>(unsignedValue(option, maxCommand));
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text.substr(2), &used, 16);
    } catch (const std::exception&) {
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    }
    if (used != text.size() - 2 || text.find_first_of("+- ") != std::string::npos || value > maxCommand)
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
    return static_cast<std::uint16_t>(value);
}

// False when the option is not a fault option.
bool applyFault(const Option& option, Faults& faults)
{
    const std::string& name = option.name;
    if (name == "--drop")
        faults.dropProbability = probabilityValue(option);
    else if (name == "--corrupt")
        faults.corruptProbability = probabilityValue(option);
    else if (name == "--split")
        faults.splitProbability = probabilityValue(option);
    else if (name == "--split-gap")
        faults.splitGap = millisecondsValue(option);
    else if (name == "--delay")
        faults.replyDelay = millisecondsValue(option);
    else if (name == "--wrong-address")
        faults.wrongAddress = true;
    else if (name == "--silent-after")
        faults.silentAfterRequests = unsignedValue(option, std::numeric_limits<unsigned long>::max());
    else if (name == "--silent-for") {
        faults.silentPeriod = millisecondsValue(option);
        if (!faults.silentAfterRequests)
            faults.silentAfterRequests = 0;
    } else if (name == "--console-version")
        faults.quirks.consoleVersion = byteValue(option, option.value);
    else if (name == "--console-off")
        faults.quirks.consoleOffAtStart = true;
    else if (name == "--device-off-at-stop")
        faults.quirks.deviceOffAtStop = true;
    else if (name == "--short-identification")
        faults.quirks.shortIdentification = true;
    else if (name == "--extra-byte")
        faults.quirks.extraByteAfter = commandValue(option);
    else if (name == "--cut-exchange")
        faults.quirks.cutExchangeReplies = true;
    else
        return false;
    return true;
}

void checkNoValue(const Option& option)
{
    if (!option.value.empty() && !takesValue(option.name))
        throwSimulatorError(SimMessage::BadValue, option.value, option.name);
}
} // namespace

ProgramOptions parseArguments(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    SimulatorOptions& simulator = options.simulator;
    for (const Option& option : split(arguments)) {
        checkNoValue(option);
        const std::string& name = option.name;
        if (applyFault(option, simulator.faults))
            continue;
        if (name == "--port") {
            if (portNumber(option.value) == 0)
                throwSimulatorError(SimMessage::BadPortName, option.value);
            simulator.portName = option.value;
        } else if (name == "--device") {
            simulator.devices.push_back(deviceValue(option));
        } else if (name == "--glyphs") {
            options.glyphs = unsignedValue(option, std::numeric_limits<std::uint8_t>::max());
        } else if (name == "--console") {
            std::tie(options.consoleRows, options.consolePlaces) = consoleValue(option);
        } else if (name == "--baud") {
            simulator.baudRate = static_cast<unsigned>(unsignedValue(option, maxBaudRate));
            if (simulator.baudRate == 0)
                throwSimulatorError(SimMessage::BadValue, option.value, option.name);
        } else if (name == "--seed") {
            simulator.seed = static_cast<std::uint32_t>(unsignedValue(option, std::numeric_limits<std::uint32_t>::max()));
        } else if (name == "--replay") {
            simulator.replay = std::make_shared<Replay>(Recording::read(option.value));
        } else if (name == "--no-pace") {
            simulator.pace = false;
        } else if (name == "--only-own-rate") {
            simulator.onlyAtOwnRate = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--control") {
            options.control = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--lang") {
            if (option.value != "ru" && option.value != "en")
                throwSimulatorError(SimMessage::BadValue, option.value, option.name);
        } else {
            throwSimulatorError(SimMessage::UnknownOption, name);
        }
    }
    if (simulator.devices.empty())
        simulator.devices.push_back(FirmwareSetup{});
    for (FirmwareSetup& device : simulator.devices) {
        device.glyphCount = options.glyphs;
        device.consoleRows = options.consoleRows;
        device.consolePlaces = options.consolePlaces;
    }
    return options;
}

void applyFaultLine(const std::string& line, Faults& faults)
{
    std::vector<std::string> words;
    boost::split(words, line, boost::is_any_of(" \t\r\n"), boost::token_compress_on);
    words.erase(std::remove(words.begin(), words.end(), std::string()), words.end());
    Faults changed = faults;
    for (const Option& option : split(words)) {
        checkNoValue(option);
        if (option.name == "--no-faults")
            changed = Faults{};
        else if (!applyFault(option, changed))
            throwSimulatorError(SimMessage::UnknownOption, option.name);
    }
    faults = changed;
}

bool wantsEnglish(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i].rfind("--lang=", 0) == 0)
            return arguments[i] == "--lang=en";
        if (arguments[i] == "--lang" && i + 1 < arguments.size())
            return arguments[i + 1] == "en";
    }
    return KelConsole::localeWantsEnglish();
}

std::string usage(bool english)
{
    if (english)
        return "Usage: vpanel-devsim [options]\n"
               "Simulated devices with a console on a pseudo-terminal published as port COMn.\n"
               "\n"
               "  --port COMn              the port name (default: the first free from COM100)\n"
               "  --device A[:ID[:MA.MI]]  a device at address A with identifier ID and software\n"
               "                           version MA.MI (default 1:7:1.0); may be repeated\n"
               "  --glyphs N               the number of the console's glyphs (default 8)\n"
               "  --console RxP            a console of R rows (1..4) of P places (1..40), default 4x20\n"
               "  --baud N                 the line rate replies are paced at (default: the one\n"
               "                           the computer set)\n"
               "  --no-pace                reply at once, without the transmission delay\n"
               "  --only-own-rate          with --baud: take requests at another rate for noise\n"
               "  --verbose                print every frame in hexadecimal and the libraries'\n"
               "                           trace (without it only under KEL_TRACE=1)\n"
               "  --control                read fault options from standard input\n"
               "  --seed N                 the seed of the fault generator\n"
               "  --replay FILE            answer with the replies of the program's recording\n"
               "                           (vpanel --record), in order for each kind of request\n"
               "  --lang ru|en             the language of this help\n"
               "  --help                   print this help and exit\n"
               "  --version                print the version and exit\n"
               "\n"
               "Faults (also as lines on standard input under --control):\n"
               "  --drop P                 do not answer, with probability P (0..1)\n"
               "  --corrupt P              change one byte of a reply, with probability P\n"
               "  --split P                break a reply by a pause, with probability P\n"
               "  --split-gap MS           the length of that pause (default 60 ms)\n"
               "  --delay MS               delay every reply\n"
               "  --wrong-address          answer from another address\n"
               "  --silent-after N         fall silent after N requests\n"
               "  --silent-for MS          stay silent MS ms (without --silent-after: from the first)\n"
               "  --console-version V      report console version V\n"
               "  --console-off            the console is off at start\n"
               "  --device-off-at-stop     the device is off when the session stops\n"
               "  --short-identification   answer the identification with 7 bytes, no software version\n"
               "  --extra-byte CMD         one byte too many in the replies to command CMD (e.g. 0x13)\n"
               "  --cut-exchange           exchange replies end at their first flag byte\n"
               "  --no-faults              (on standard input) clear all faults\n";
    return "Использование: vpanel-devsim [параметры]\n"
           "Имитатор устройств с консолью на псевдотерминале, опубликованном как порт COMn.\n"
           "\n"
           "  --port COMn              имя порта (по умолчанию первое свободное от COM100)\n"
           "  --device A[:ID[:MA.MI]]  устройство с адресом A, идентификатором ID и версией ПО\n"
           "                           MA.MI (по умолчанию 1:7:1.0); можно повторять\n"
           "  --glyphs N               число символьных матриц консоли (по умолчанию 8)\n"
           "  --console RxP            консоль из R строк (1..4) по P мест (1..40), по умолчанию 4x20\n"
           "  --baud N                 скорость линии для выдачи ответов (по умолчанию та,\n"
           "                           что установил компьютер)\n"
           "  --no-pace                отвечать сразу, без задержки передачи\n"
           "  --only-own-rate          с --baud: запросы на другой скорости принимать за шум\n"
           "  --verbose                печатать каждый кадр в шестнадцатеричном виде и трассу\n"
           "                           библиотек (без него она видна только при KEL_TRACE=1)\n"
           "  --control                читать параметры неисправностей со стандартного входа\n"
           "  --seed N                 начальное значение генератора неисправностей\n"
           "  --replay ФАЙЛ            отвечать ответами из записи обмена программы (vpanel\n"
           "                           --record) по порядку для каждого вида запроса\n"
           "  --lang ru|en             язык этой справки\n"
           "  --help                   напечатать эту справку и выйти\n"
           "  --version                напечатать версию и выйти\n"
           "\n"
           "Неисправности (также строками на стандартном входе при --control):\n"
           "  --drop P                 не отвечать с вероятностью P (0..1)\n"
           "  --corrupt P              исказить один байт ответа с вероятностью P\n"
           "  --split P                разорвать ответ паузой с вероятностью P\n"
           "  --split-gap MS           длительность паузы разрыва (по умолчанию 60 мс)\n"
           "  --delay MS               задержать каждый ответ\n"
           "  --wrong-address          отвечать с чужого адреса\n"
           "  --silent-after N         замолчать после N запросов\n"
           "  --silent-for MS          молчать MS мс (без --silent-after: с первого запроса)\n"
           "  --console-version V      сообщать версию консоли V\n"
           "  --console-off            консоль выключена при старте\n"
           "  --device-off-at-stop     устройство выключено при остановке\n"
           "  --short-identification   отвечать на идентификацию 7 байтами, без версии ПО\n"
           "  --extra-byte CMD         лишний байт в ответах на команду CMD (например 0x13)\n"
           "  --cut-exchange           ответы обмена обрываются на первом байте флагов\n"
           "  --no-faults              (на стандартном входе) отменить все неисправности\n";
}

} // namespace VPanel::Sim
