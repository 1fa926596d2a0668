#pragma once

#include "panel/LinkEvent.h"

#include <QObject>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <utility>

using LinkEvent = VPanel::Panel::LinkEvent;

class LogWidget;
class QMainWindow;
class QSoundEffect;
class QWidget;

// Tells the user what the connection reports: the alarm sound and its icon, message boxes,
// the status bar and the journal. What the display shows follows through the signals.
class LinkEventPresenter : public QObject {
    Q_OBJECT

public:
    // Shows a modal message box.
    using MessagePresenter = std::function<void(QWidget* parent, const QString& title, const QString& text)>;

    static constexpr std::chrono::milliseconds statusMessageTime{1500};

    // Boxes and status messages go over the window; the window shows the sound icon.
    LinkEventPresenter(QMainWindow& window, LogWidget& journal, QObject* parent);
    ~LinkEventPresenter() override;

    void setWarningPresenter(MessagePresenter presenter) { m_warn = std::move(presenter); }
    // The device the boxes name in their titles: with several tabs a box may come from any.
    void setSubject(const QString& subject) { m_subject = subject; }

    void present(LinkEvent event, const QString& text);
    void report(const QString& line);
    // An error box over the window.
    void warn(const QString& text);
    // An error box whose text also goes to the journal.
    void fail(const QString& text);
    void stopSound();
    // The device of a new connection decides afresh whether it sounds, and for how long.
    void prepareForConnection();

    bool soundEnabled() const { return m_sound; }
    void setSoundEnabled(bool on) { m_sound = on; }
    bool errorReportsEnabled() const { return m_errorReports; }
    void setErrorReportsEnabled(bool on) { m_errorReports = on; }
    QLabel* soundIcon() const { return m_soundIcon; }
    const QSoundEffect* alarmSound() const { return m_alarmSound; }

signals:
    // The link is over: the window shows its welcome state.
    void linkEnded();
    void deviceIdentified(const QString& name);
    void consoleOn();
    void consoleOff();
    // The alarm started or stopped sounding.
    void soundingChanged(bool sounding);

private:
    // The link is over: nothing sounds behind the box.
    void endLink(const QString& text);

    QMainWindow& m_window;
    LogWidget& m_journal;
    MessagePresenter m_warn;
    QString m_subject;
    QSoundEffect* m_alarmSound = nullptr;
    QPixmap m_soundPicture;
    QPointer<QLabel> m_soundIcon;
    bool m_sound = true;
    bool m_errorReports = true;
};
