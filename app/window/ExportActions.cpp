#include "app/window/ExportActions.h"

#include "app/display/QOIndicator.h"
#include "app/window/DevicePanel.h"
#include "app/window/RemoteControllerUi.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>

ExportActions::ExportActions(QWidget& window, const RemoteControllerUi& ui, CurrentPanel current)
    : m_window(window), m_ui(ui), m_current(std::move(current))
{
    QObject::connect(ui.actionRecord, &QAction::triggered, &window, [this](bool on) { recordExchange(on); });
    QObject::connect(ui.actionCopyScreen, &QAction::triggered, &window, [this] { copyScreen(); });
    QObject::connect(ui.actionSaveScreen, &QAction::triggered, &window, [this] { chooseScreenFile(); });
}

void ExportActions::watch(DevicePanel& panel)
{
    QObject::connect(&panel.link(), &ConnectionController::recordingFailed, &panel,
                     [this, &panel](const QString& text) { endFailedRecording(panel, text); });
}

void ExportActions::showCurrent()
{
    m_ui.actionRecord->setChecked(m_current().link().recorder() != nullptr);
}

QString ExportActions::askForSaveFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

bool ExportActions::startRecording(const QString& path)
{
    DevicePanel& panel = m_current();
    QString error;
    if (!panel.link().startRecording(path, error)) {
        showCurrent();
        panel.events().fail(tr("Запись обмена не начата: %1").arg(error));
        return false;
    }
    m_ui.actionRecord->setChecked(true);
    panel.events().report(tr("Запись обмена в %1").arg(path));
    return true;
}

void ExportActions::stopRecording()
{
    m_ui.actionRecord->setChecked(false);
    m_current().link().stopRecording();
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

void ExportActions::endFailedRecording(DevicePanel& panel, const QString& text)
{
    showCurrent();
    panel.events().fail(tr("Запись обмена остановлена: %1").arg(text));
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
    m_current().events().warn(tr("Не удалось сохранить экран в %1").arg(path));
    return false;
}
