#pragma once

#include "link/Contents.h"
#include "sim/Faults.h"
#include "sim/OptionsHelp.h"
#include "sim/Simulator.h"

#include <chrono>
#include <string>
#include <vector>

namespace VPanel::Sim {

struct ProgramOptions {
    SimulatorOptions simulator;
    std::size_t glyphs = 8;
    std::uint8_t consoleRows = Link::defaultConsoleRows;
    std::uint8_t consolePlaces = Link::defaultConsolePlaces;
    bool changingRows = false;
    // Every so often the whole screen again, as a device that does not count on each reply
    // arriving; zero for never.
    std::chrono::milliseconds redrawInterval{0};
    bool verbose = false;
    bool control = false; // fault lines are read from standard input while running
    bool help = false;
    bool version = false;
};

// The program's arguments, without the program name: "--name value" or "--name=value".
// Throws SimulatorException naming the option at fault.
ProgramOptions parseArguments(const std::vector<std::string>& arguments);

// One control line of fault options, e.g. "--drop 0.2 --delay 30"; "--no-faults" clears them
// all first. Throws SimulatorException and leaves `faults` alone when a word is wrong.
void applyFaultLine(const std::string& line, Faults& faults);

} // namespace VPanel::Sim
