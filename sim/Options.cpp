#include "sim/Options.h"

#include "link/Contents.h"
#include "sim/PortPublication.h"
#include "sim/SimErrors.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/lexical_cast.hpp>
#include <boost/program_options.hpp>

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace VPanel::Sim {

namespace {
namespace po = boost::program_options;
using std::chrono::milliseconds;

constexpr unsigned long maxMilliseconds = 3'600'000;
constexpr unsigned long maxBaudRate = 4'000'000;
// An exchange reply carries at most four rows, and all of them with eight glyphs must fit
// into one frame.
constexpr unsigned long maxConsoleRows = VPanel::Link::exchangeRows;
constexpr unsigned long maxConsolePlaces = 40;

// Long options only, spelled out in full: a shortened name that the library would complete
// could silently mean another option once one is added.
constexpr int commandLineStyle = po::command_line_style::allow_long | po::command_line_style::long_allow_adjacent |
                                 po::command_line_style::long_allow_next;
// The one short form, a whole word only: "-hv" is a stray argument, not "-h" with a value.
std::pair<std::string, std::string> shortHelp(const std::string& word)
{
    if (word == "-h")
        return {"help", {}};
    return {};
}

struct Option {
    std::string name;
    std::string value;
};

// The descriptions carry no texts: the help is written out in both languages by usage(), as
// the library measures its columns in bytes and would misalign the Russian one.
void addFaultOptions(po::options_description& options)
{
    const auto value = [] { return po::value<std::string>(); };
    options.add_options()("drop", value())("corrupt", value())("split", value())("split-gap", value())(
        "delay", value())("turnaround", value())("wrong-address", "")("silent-after", value())("silent-for", value())(
        "silent-device", value())(
        "console-version", value())("console-off", "")("device-off-at-stop", "")("short-identification", "")(
        "extra-byte", value())("cut-exchange", "");
}

const po::options_description& programOptions()
{
    static const po::options_description options = [] {
        const auto value = [] { return po::value<std::string>(); };
        po::options_description described;
        described.add_options()("port", value())("device", value())("glyphs", value())("console", value())(
            "baud", value())("changing-rows", "")("redraw", value())("no-pace", "")("only-own-rate", "")("verbose", "")("control", "")(
            "seed", value())("replay", value())("lang", value())("help", "")("version", "");
        addFaultOptions(described);
        return described;
    }();
    return options;
}

const po::options_description& controlLineOptions()
{
    static const po::options_description options = [] {
        po::options_description described;
        described.add_options()("no-faults", "");
        addFaultOptions(described);
        return described;
    }();
    return options;
}

// The value a "--name=value" word gave to an option that takes none.
std::string adjacentValue(const std::vector<std::string>& words, const std::string& name)
{
    for (const std::string& word : words)
        if (word.rfind(name + "=", 0) == 0)
            return word.substr(name.size() + 1);
    return {};
}

// The options in the order given, each named as it is spelled ("--port"); the library's
// complaints become the simulator's own messages.
std::vector<Option> split(const std::vector<std::string>& words, const po::options_description& described)
{
    // The library would take the words after a "--" as arguments; none are wanted here.
    if (std::find(words.begin(), words.end(), "--") != words.end())
        throwSimulatorError(SimMessage::UnknownOption, "--");
    po::parsed_options parsed(&described);
    try {
        po::command_line_parser parser(words);
        parser.options(described).style(commandLineStyle);
        // A control line has no help to ask for: "-h" there is as wrong as any stray word.
        if (described.find_nothrow("help", false))
            parser.extra_parser(shortHelp);
        parsed = parser.run();
    } catch (const po::unknown_option& error) {
        throwSimulatorError(SimMessage::UnknownOption, error.get_option_name());
    } catch (const po::invalid_command_line_syntax& error) {
        const std::string name = error.get_option_name();
        if (error.kind() == po::invalid_command_line_syntax::missing_parameter)
            throwSimulatorError(SimMessage::MissingValue, name);
        throwSimulatorError(SimMessage::BadValue, adjacentValue(words, name), name);
    } catch (const po::error_with_option_name& error) {
        throwSimulatorError(SimMessage::UnknownOption, error.get_option_name());
    } catch (const po::error& error) {
        throwSimulatorError(SimMessage::UnexpectedArgument, error.what());
    }
    std::vector<Option> options;
    for (const po::basic_option<char>& option : parsed.options) {
        if (option.position_key != -1 || option.string_key.empty())
            throwSimulatorError(SimMessage::UnexpectedArgument,
                                option.original_tokens.empty() ? std::string() : option.original_tokens.front());
        options.push_back({"--" + option.string_key, option.value.empty() ? std::string() : option.value.front()});
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
    else if (name == "--turnaround")
        faults.turnaround = millisecondsValue(option);
    else if (name == "--wrong-address")
        faults.wrongAddress = true;
    else if (name == "--silent-after")
        faults.silentAfterRequests = unsignedValue(option, std::numeric_limits<unsigned long>::max());
    else if (name == "--silent-for") {
        faults.silentPeriod = millisecondsValue(option);
        if (!faults.silentAfterRequests)
            faults.silentAfterRequests = 0;
    } else if (name == "--silent-device")
        faults.silentDevices.insert(byteValue(option, option.value));
    else if (name == "--console-version")
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
} // namespace

ProgramOptions parseArguments(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    SimulatorOptions& simulator = options.simulator;
    for (const Option& option : split(arguments, programOptions())) {
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
        } else if (name == "--changing-rows") {
            options.changingRows = true;
        } else if (name == "--redraw") {
            options.redrawInterval = std::chrono::milliseconds(unsignedValue(option, maxMilliseconds));
        } else if (name == "--no-pace") {
            simulator.pace = false;
        } else if (name == "--only-own-rate") {
            simulator.onlyAtOwnRate = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--control") {
            options.control = true;
        } else if (name == "--help") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--lang") {
            if (option.value != "ru" && option.value != "en")
                throwSimulatorError(SimMessage::BadValue, option.value, option.name);
        }
    }
    if (simulator.devices.empty())
        simulator.devices.push_back(FirmwareSetup{});
    for (FirmwareSetup& device : simulator.devices) {
        device.glyphCount = options.glyphs;
        device.consoleRows = options.consoleRows;
        device.consolePlaces = options.consolePlaces;
        device.changingRows = options.changingRows;
        device.redrawInterval = options.redrawInterval;
    }
    return options;
}

void applyFaultLine(const std::string& line, Faults& faults)
{
    std::vector<std::string> words;
    boost::split(words, line, boost::is_any_of(" \t\r\n"), boost::token_compress_on);
    words.erase(std::remove(words.begin(), words.end(), std::string()), words.end());
    Faults changed = faults;
    for (const Option& option : split(words, controlLineOptions())) {
        if (option.name == "--no-faults")
            changed = Faults{};
        else
            applyFault(option, changed);
    }
    faults = changed;
}

} // namespace VPanel::Sim
