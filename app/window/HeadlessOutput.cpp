#include "app/window/HeadlessOutput.h"

#include "app/display/QOIndicator.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPixmap>
#include <QTime>
#include <QWidget>

#include <utility>

namespace {

// What the stream already holds goes out first; the printer writes after it.
int descriptorOf(std::FILE* out)
{
    std::fflush(out);
    return fileno(out);
}

} // namespace

bool runsHeadless(bool printDisplay)
{
    const QString platform = QGuiApplication::platformName();
    return printDisplay || platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void printWarning(QWidget*, const QString& title, const QString& text)
{
    std::fprintf(stderr, "%s\n", (title + QLatin1String(": ") + text).toUtf8().constData());
    std::fflush(stderr);
}

DisplayPrinter::DisplayPrinter(QOIndicator& indicator, std::FILE* out)
    : QObject(&indicator), m_indicator(indicator), m_output(descriptorOf(out))
{
    connect(&m_output, &UnwaitedOutput::closed, this, &DisplayPrinter::outputClosed);
    connect(&indicator, &QOIndicator::contentChanged, this, &DisplayPrinter::schedulePrint);
}

void DisplayPrinter::schedulePrint()
{
    if (std::exchange(m_pending, true))
        return;
    QMetaObject::invokeMethod(this, &DisplayPrinter::print, Qt::QueuedConnection);
}

void DisplayPrinter::print()
{
    m_pending = false;
    const QStringList rows = m_indicator.text();
    if (rows == m_printed || rows.isEmpty())
        return;
    m_printed = rows;
    const QString text =
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + QLatin1Char('\n') + rows.join(QLatin1Char('\n'));
    m_output.write(text.toUtf8() + '\n');
}

ClosingSnapshot::ClosingSnapshot(QWidget& window, QString path)
    : QObject(&window), m_window(window), m_path(std::move(path))
{
    window.installEventFilter(this);
}

bool ClosingSnapshot::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Close && !std::exchange(m_saved, true)) {
        if (!m_window.grab().save(m_path, "PNG"))
            std::fprintf(stderr, "%s\n",
                         tr("Не удалось сохранить окно в %1").arg(m_path).toUtf8().constData());
    }
    return QObject::eventFilter(watched, event);
}
