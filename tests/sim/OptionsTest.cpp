#include "sim/Options.h"
#include "sim/SimErrors.h"

#include <gtest/gtest.h>

namespace {

using namespace VPanel::Sim;
using std::chrono::milliseconds;

TEST(ProgramOptionsTest, EveryOptionReachesItsSetting)
{
    const ProgramOptions options = parseArguments(
        {"--port", "COM12", "--device", "5", "--device=6:300:2.7", "--glyphs", "3", "--baud", "9600", "--changing-rows", "--no-pace",
         "--only-own-rate", "--verbose", "--control", "--seed", "42", "--drop", "0.25", "--corrupt=0.5", "--split", "1",
         "--split-gap", "90", "--delay", "15", "--turnaround", "4", "--wrong-address", "--silent-after", "10", "--silent-for", "2000",
         "--silent-device", "5", "--silent-device", "6",
         "--console-version", "1", "--console-off", "--device-off-at-stop", "--short-identification", "--console",
         "2x16", "--extra-byte", "0x12", "--cut-exchange", "--lang", "en"});
    const SimulatorOptions& simulator = options.simulator;
    EXPECT_EQ(simulator.portName, "COM12");
    ASSERT_EQ(simulator.devices.size(), 2u);
    EXPECT_EQ(simulator.devices[0].address, 5);
    EXPECT_EQ(simulator.devices[0].identifier, 7);
    EXPECT_EQ(simulator.devices[1].identifier, 300);
    EXPECT_EQ(simulator.devices[1].major, 2);
    EXPECT_EQ(simulator.devices[1].minor, 7);
    EXPECT_EQ(simulator.devices[1].glyphCount, 3u);
    EXPECT_EQ(simulator.devices[1].consoleRows, 2);
    EXPECT_EQ(simulator.devices[1].consolePlaces, 16);
    EXPECT_TRUE(simulator.devices[1].changingRows);
    EXPECT_EQ(simulator.baudRate, 9600u);
    EXPECT_FALSE(simulator.pace);
    EXPECT_TRUE(simulator.onlyAtOwnRate);
    EXPECT_TRUE(options.verbose);
    EXPECT_TRUE(options.control);
    EXPECT_EQ(simulator.seed, 42u);
    const Faults& faults = simulator.faults;
    EXPECT_EQ(faults.dropProbability, 0.25);
    EXPECT_EQ(faults.corruptProbability, 0.5);
    EXPECT_EQ(faults.splitProbability, 1.0);
    EXPECT_EQ(faults.splitGap, milliseconds(90));
    EXPECT_EQ(faults.replyDelay, milliseconds(15));
    EXPECT_EQ(faults.turnaround, milliseconds(4));
    EXPECT_TRUE(faults.wrongAddress);
    EXPECT_EQ(faults.silentAfterRequests, 10u);
    EXPECT_EQ(faults.silentPeriod, milliseconds(2000));
    EXPECT_EQ(faults.silentDevices, (std::set<std::uint8_t>{5, 6}));
    EXPECT_EQ(faults.quirks.consoleVersion, 1);
    EXPECT_TRUE(faults.quirks.consoleOffAtStart);
    EXPECT_TRUE(faults.quirks.deviceOffAtStop);
    EXPECT_TRUE(faults.quirks.shortIdentification);
    EXPECT_EQ(faults.quirks.extraByteAfter, 0x12);
    EXPECT_TRUE(faults.quirks.cutExchangeReplies);
}

TEST(ProgramOptionsTest, DefaultsToOneDeviceWithEightGlyphsPacedAsTheLine)
{
    const ProgramOptions options = parseArguments({});
    ASSERT_EQ(options.simulator.devices.size(), 1u);
    EXPECT_EQ(options.simulator.devices[0].address, 1);
    EXPECT_EQ(options.simulator.devices[0].glyphCount, 8u);
    EXPECT_EQ(options.simulator.baudRate, 0u);
    EXPECT_TRUE(options.simulator.pace);
    EXPECT_TRUE(options.simulator.portName.empty());
    // Silence for a period alone starts with the first request.
    EXPECT_EQ(parseArguments({"--silent-for", "100"}).simulator.faults.silentAfterRequests, 0u);
}

TEST(ProgramOptionsTest, WrongArgumentsNameTheirFault)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--frobnicate"}, {"--drop"},          {"--drop", "1.5"},      {"--drop", "x"},
        {"--port", "COM0"}, {"--port", "tty1"}, {"--device", "256"},   {"--device", "1:2:3"},
        {"--device", "1:70000"}, {"--glyphs", "-1"}, {"--baud", "0"}, {"--delay", "9999999"},
        {"stray"},        {"--verbose=yes"}, {"--console", "5x20"}, {"--console", "2x0"}, {"--console", "216"},
        {"--extra-byte", "0x"}, {"--extra-byte", "0x1g"}, {"--extra-byte", "70000"}, {"--replay", "/nonexistent"},
        {"--lang", "fr"}, {"--"}, {"--verb"}, {"--help", "--", "stray"}, {"-x"},
    };
    for (const auto& arguments : wrong)
        EXPECT_THROW(parseArguments(arguments), SimulatorException) << arguments[0];
    const std::pair<std::vector<std::string>, const wchar_t*> named[] = {
        {{"--drop", "1.5"}, L"Недопустимое значение '1.5' параметра '--drop'"},
        {{"--seed", "1", "--drop"}, L"Параметру '--drop' нужно значение"},
        {{"--frobnicate", "1"}, L"Неизвестный параметр '--frobnicate'"},
        {{"--verbose=yes"}, L"Недопустимое значение 'yes' параметра '--verbose'"},
        {{"--device", "1", "stray"}, L"Лишний аргумент 'stray'"},
        {{"-hv"}, L"Лишний аргумент '-hv'"},
    };
    for (const auto& [arguments, message] : named) {
        try {
            parseArguments(arguments);
            ADD_FAILURE() << arguments[0];
        } catch (const SimulatorException& error) {
            EXPECT_STREQ(error.message(), message);
        }
    }
}

TEST(ProgramOptionsTest, ControlLinesChangeFaultsOrNothing)
{
    Faults faults;
    applyFaultLine("  --drop 0.5\t--delay=20 --wrong-address --turnaround 3\n", faults);
    EXPECT_EQ(faults.turnaround, milliseconds(3));
    EXPECT_EQ(faults.dropProbability, 0.5);
    EXPECT_EQ(faults.replyDelay, milliseconds(20));
    EXPECT_TRUE(faults.wrongAddress);

    for (const char* wrong : {"--corrupt 1 --port COM3", "--corrupt 1 -h", "--corrupt 1 --cut"})
        EXPECT_THROW(applyFaultLine(wrong, faults), SimulatorException) << wrong;
    EXPECT_EQ(faults.corruptProbability, 0.0);

    applyFaultLine("--no-faults --split 1", faults);
    EXPECT_EQ(faults.dropProbability, 0.0);
    EXPECT_FALSE(faults.wrongAddress);
    EXPECT_EQ(faults.splitProbability, 1.0);
}

} // namespace
