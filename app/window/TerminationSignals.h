#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Ctrl+C, a hang-up or a termination request end the program as closing the window would
// (settings saved, a running connection's stop packet sent), whatever modal box is open at
// the time: every event loop of the GUI thread ends afterwards. The handlers stay installed
// for the rest of the process; one object at a time.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QWidget& window);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

public slots:
    // Ends the program as the signals do; for other reasons to end it (a closed output).
    void terminate();

private:
    QWidget& m_window;
    QSocketNotifier* m_notifier = nullptr;
};
