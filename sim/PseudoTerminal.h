#pragma once

#include <string>

namespace VPanel::Sim {

// A pseudo-terminal whose slave side is the device's serial line. The master is read and
// written without blocking; the simulator keeps one slave descriptor open itself, so that
// the master never sees a hang-up while the PC opens and closes the port. That also keeps
// the slave's input queue alive between two opens, which a real port does not: what the PC
// left unread is dropped when it closes the port, as the driver of a real port does.
class PseudoTerminal {
public:
    // Throws SimulatorException with the system's text when no pty can be had.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }
    // As the PC set the line, 0 when unknown.
    unsigned baudRate() const;

    // Readable when the PC has opened or closed the port; then call takePortEvents().
    int portEvents() const { return m_portEvents; }
    // Follows the PC's opens and closes; once nobody holds the port, drops what it left unread
    // and any reply written after it let go, which a real port's driver never delivers.
    void takePortEvents();

private:
    int m_master = -1;
    int m_slave = -1;
    int m_portEvents = -1;
    int m_opens = 0;
    bool m_opensKnown = true;
    std::string m_slavePath;
};

} // namespace VPanel::Sim
