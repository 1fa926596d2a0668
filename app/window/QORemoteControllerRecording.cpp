// The window's recording of the line and its export of the display.

#include "app/window/QORemoteController.h"

#include "app/display/QOIndicator.h"
#include "app/log/LogWidget.h"
#include "panel/ExchangeRecorder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
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
    stopRecording();
    std::string error;
    m_recorder = ExchangeRecorder::open(QFile::encodeName(path).toStdString(), error);
    if (!m_recorder) {
        m_ui.actionRecord->setChecked(false);
        const QString text = tr("Запись обмена не начата: %1").arg(QString::fromLocal8Bit(error));
        m_warn(this, tr("Ошибка"), text);
        report(text);
        return false;
    }
    // Told on the recorder's thread; only the recording still running is ended.
    m_recorder->onWriteFailed([this, recorder = std::weak_ptr(m_recorder)](const std::string& failure) {
        QMetaObject::invokeMethod(
            this,
            [this, recorder, text = QString::fromLocal8Bit(failure)] {
                if (const auto failed = recorder.lock(); failed && failed == m_recorder)
                    endFailedRecording(text);
            },
            Qt::QueuedConnection);
    });
    m_ui.actionRecord->setChecked(true);
    report(tr("Запись обмена в %1").arg(path));
    if (m_thread && m_thread->isRunning())
        recordConnection(*m_thread);
    return true;
}

void QORemoteController::stopRecording()
{
    m_ui.actionRecord->setChecked(false);
    if (!m_recorder)
        return;
    if (m_thread)
        m_thread->setRecorder(nullptr);
    // Finished here, so that the worker, which may hold the last reference, never writes.
    m_recorder->finish();
    m_recorder.reset();
}

void QORemoteController::recordConnection(QOTransmissionThread& thread)
{
    if (!m_recorder)
        return;
    m_recorder->beginConnection({m_portName.toStdString(), m_address, m_baudRate, m_writeInterval_ms});
    thread.setRecorder(m_recorder);
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
    stopRecording();
    const QString message = tr("Запись обмена остановлена: %1").arg(text);
    m_warn(this, tr("Ошибка"), message);
    report(message);
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
    m_warn(this, tr("Ошибка"), tr("Не удалось сохранить экран в %1").arg(path));
    return false;
}
