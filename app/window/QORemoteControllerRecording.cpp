// The window's recording of the line and its export of the display.

#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>

void QORemoteController::setSaveFileChooser(SaveFileChooser chooser)
{
    m_chooseSaveFile = std::move(chooser);
}

QString QORemoteController::askForSaveFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

void QORemoteController::connectRecordingMenus()
{
    connect(m_ui.actionRecord, &QAction::triggered, this, &QORemoteController::recordExchange);
    connect(m_ui.actionCopyScreen, &QAction::triggered, this, &QORemoteController::copyScreen);
    connect(m_ui.actionSaveScreen, &QAction::triggered, this, &QORemoteController::chooseScreenFile);
}

bool QORemoteController::startRecording(const QString& path)
{
    QString error;
    if (!m_link->startRecording(path, error)) {
        m_ui.actionRecord->setChecked(false);
        m_events->fail(tr("Запись обмена не начата: %1").arg(error));
        return false;
    }
    m_ui.actionRecord->setChecked(true);
    m_events->report(tr("Запись обмена в %1").arg(path));
    return true;
}

void QORemoteController::stopRecording()
{
    m_ui.actionRecord->setChecked(false);
    m_link->stopRecording();
}

void QORemoteController::recordExchange(bool on)
{
    if (!on) {
        stopRecording();
        return;
    }
    const QString path = m_chooseSaveFile(this, tr("Записать обмен"), tr("Записи обмена (*.txt);;Все файлы (*)"));
    if (path.isEmpty())
        m_ui.actionRecord->setChecked(false);
    else
        startRecording(path);
}

void QORemoteController::endFailedRecording(const QString& text)
{
    m_ui.actionRecord->setChecked(false);
    m_events->fail(tr("Запись обмена остановлена: %1").arg(text));
}

void QORemoteController::copyScreen()
{
    auto* data = new QMimeData;
    data->setText(m_ui.indicator->text().join(QLatin1Char('\n')));
    data->setImageData(m_ui.indicator->picture());
    QApplication::clipboard()->setMimeData(data);
}

void QORemoteController::chooseScreenFile()
{
    QString path = m_chooseSaveFile(this, tr("Сохранить экран"), tr("Изображения PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QLatin1String(".png");
    saveScreen(path);
}

bool QORemoteController::saveScreen(const QString& path)
{
    if (m_ui.indicator->picture().save(path, "PNG"))
        return true;
    m_events->warn(tr("Не удалось сохранить экран в %1").arg(path));
    return false;
}
