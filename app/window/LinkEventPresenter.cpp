#include "app/window/LinkEventPresenter.h"

#include "datafiles/DeviceDictionary.h"
#include "app/log/LogWidget.h"

#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QSoundEffect>
#include <QStatusBar>
#include <QUrl>

namespace {

constexpr int soundIconSize_px = 15;

// The shipped alarm sound from the first data directory that has it. Without it the alarm
// stays silent.
QString alarmSoundFile()
{
    const QStringList candidates = VPanel::dataFileCandidates(QStringLiteral("alarm.wav"));
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile())
            return path;
    return candidates.first();
}

void showWarning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

} // namespace

LinkEventPresenter::LinkEventPresenter(QMainWindow& window, LogWidget& journal, QObject* parent)
    : QObject(parent), m_window(window), m_journal(journal), m_warn(showWarning)
{
    m_alarmSound = new QSoundEffect(this);
    m_alarmSound->setSource(QUrl::fromLocalFile(alarmSoundFile()));
    m_soundPicture = QPixmap(QStringLiteral(":/Resources/sound.png"));

    m_soundIcon = new QLabel;
    m_soundIcon->setMaximumSize(soundIconSize_px, soundIconSize_px);
    m_soundIcon->setAlignment(Qt::AlignRight);
}

LinkEventPresenter::~LinkEventPresenter()
{
    // Whichever status bar holds the icon now, it goes with its device.
    delete m_soundIcon;
}

void LinkEventPresenter::present(LinkEvent event, const QString& text)
{
    switch (event) {
    case LinkEvent::Exception:
        endLink(tr("Ошибка: %1").arg(text));
        break;
    case LinkEvent::DeviceSilent:
        endLink(tr("Устройство не отвечает, соединение разорвано! \n (Проверьте кабель "
                   "и повторите попытку соединения)."));
        break;
    case LinkEvent::Stopped:
        stopSound();
        report(tr("Устройство отключено пользователем."));
        emit linkEnded();
        break;
    case LinkEvent::DeviceIdentified:
        report(text);
        emit deviceIdentified(text);
        break;
    case LinkEvent::ConsoleOn:
        report(tr("ПУ включена."));
        emit consoleOn();
        break;
    case LinkEvent::ConsoleOff:
        emit consoleOff();
        break;
    case LinkEvent::SoundOn:
        if (m_sound) {
            m_alarmSound->play();
            m_soundIcon->setPixmap(m_soundPicture);
            emit soundingChanged(true);
        }
        return;
    case LinkEvent::SoundOff:
        stopSound();
        return;
    case LinkEvent::ConsoleVersionUnsupported:
    case LinkEvent::ConsoleOffAtStart:
    case LinkEvent::BadReply:
    case LinkEvent::Progress:
    case LinkEvent::ConsoleIdentified:
        break;
    }
    // Any event but the sound's is also a report the user may switch off; the device's
    // identity has its journal line already.
    if (!text.isEmpty() && m_errorReports) {
        m_window.statusBar()->showMessage(text, static_cast<int>(statusMessageTime.count()));
        if (event != LinkEvent::DeviceIdentified)
            report(text);
    }
}

void LinkEventPresenter::endLink(const QString& text)
{
    stopSound();
    fail(text);
    emit linkEnded();
}

void LinkEventPresenter::report(const QString& line)
{
    m_journal.inputData(line);
}

void LinkEventPresenter::warn(const QString& text)
{
    const QString title = tr("Ошибка");
    m_warn(&m_window, m_subject.isEmpty() ? title : title + QStringLiteral(" — ") + m_subject, text);
}

void LinkEventPresenter::fail(const QString& text)
{
    warn(text);
    report(text);
}

void LinkEventPresenter::stopSound()
{
    m_alarmSound->stop();
    m_soundIcon->clear();
    emit soundingChanged(false);
}

void LinkEventPresenter::prepareForConnection()
{
    stopSound();
    m_alarmSound->setLoopCount(QSoundEffect::Infinite);
}
