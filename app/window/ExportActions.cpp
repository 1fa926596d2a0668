#include "app/window/ExportActions.h"

#include "app/display/QOIndicator.h"
#include "app/window/ConnectionController.h"
#include "app/window/LinkEventPresenter.h"
#include "app/window/RemoteControllerUi.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>

ExportActions::ExportActions(QWidget& window, const RemoteControllerUi& ui, ConnectionController& link,
                             LinkEventPresenter& events)
    : m_window(window), m_ui(ui), m_link(link), m_events(events)
{
    QObject::connect(ui.actionRecord, &QAction::triggered, &window, [this](bool on) { recordExchange(on); });
    QObject::connect(ui.actionCopyScreen, &QAction::triggered, &window, [this] { copyScreen(); });
    QObject::connect(ui.actionSaveScreen, &QAction::triggered, &window, [this] { chooseScreenFile(); });
    QObject::connect(&link, &ConnectionController::recordingFailed, &window,
                     [this](const QString& text) { endFailedRecording(text); });
}

QString ExportActions::askForSaveFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

bool ExportActions::startRecording(const QString& path)
{
    QString error;
    if (!m_link.startRecording(path, error)) {
        m_ui.actionRecord->setChecked(false);
        m_events.fail(tr("Запись обмена не начата: %1").arg(error));
        return false;
    }
    m_ui.actionRecord->setChecked(true);
    m_events.report(tr("Запись обмена в %1").arg(path));
    return true;
}

void ExportActions::stopRecording()
{
    m_ui.actionRecord->setChecked(false);
    m_link.stopRecording();
}

void ExportActions::recordExchange(bool on)
{
    if (!on) {
        stopRecording();
        return;
    }
    const QString path = m_chooseSaveFile(&m_window, tr("Записать обмен"), tr("Записи обмена (*.txt);;Все файлы (*)"));
    if (path.isEmpty())
        m_ui.actionRecord->setChecked(false);
    else
        startRecording(path);
}

void ExportActions::endFailedRecording(const QString& text)
{
    m_ui.actionRecord->setChecked(false);
    m_events.fail(tr("Запись обмена остановлена: %1").arg(text));
}

void ExportActions::copyScreen()
{
    auto* data = new QMimeData;
    data->setText(m_ui.indicator->text().join(QLatin1Char('\n')));
    data->setImageData(m_ui.indicator->picture());
    QApplication::clipboard()->setMimeData(data);
}

void ExportActions::chooseScreenFile()
{
    QString path = m_chooseSaveFile(&m_window, tr("Сохранить экран"), tr("Изображения PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QLatin1String(".png");
    saveScreen(path);
}

bool ExportActions::saveScreen(const QString& path)
{
    if (m_ui.indicator->picture().save(path, "PNG"))
        return true;
    m_events.warn(tr("Не удалось сохранить экран в %1").arg(path));
    return false;
}
