#include "app/log/LogWidget.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextStream>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr QSize initialSize{376, 230};
constexpr QSize minimumButtonSize{110, 23};

// Room left for the window frames between the two windows.
constexpr int sideFrame_px = 16;
constexpr int topFrame_px = 34;
constexpr int bottomFrame_px = 38;

bool withinSnap(int gap)
{
    return gap > 0 && gap <= LogWidget::snapDistance;
}

QPushButton* makeButton(QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setMinimumSize(minimumButtonSize);
    return button;
}

} // namespace

LogWidget::LogWidget(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      list(new QListWidget(this)),
      copyButton(makeButton(this)),
      saveButton(makeButton(this)),
      closeButton(makeButton(this)),
      chooseFileName([](QWidget* parent, const QString& caption, const QString& directory,
                        const QString& filter) {
          return QFileDialog::getSaveFileName(parent, caption, directory, filter);
      })
{
    auto* buttons = new QHBoxLayout;
    buttons->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    buttons->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(buttons);

    resize(initialSize);
    retranslate();

    connect(copyButton, &QPushButton::clicked, this, &LogWidget::copySelected);
    connect(saveButton, &QPushButton::clicked, this, &LogWidget::saveLogAs);
    connect(closeButton, &QPushButton::clicked, this, &LogWidget::closeClick);
    // Queued: the pass must see the geometry that the move or resize has settled on.
    connect(this, &LogWidget::needMove, this, &LogWidget::calculation, Qt::QueuedConnection);
}

QString LogWidget::journalLine(const QString& text, const QTime& time)
{
    // Milliseconds as three digits and then once more without leading zeros:
    // 09:05:03.042 is written 09:05:03.04242.
    const QString stamp = time.toString("hh:mm:ss.zzz") + QString::number(time.msec());
    // One pass: a '%' in the text must not take the time.
    return QString("%1 %2").arg(text, stamp);
}

void LogWidget::setFileNameChooser(FileNameChooser chooser)
{
    chooseFileName = std::move(chooser);
}

void LogWidget::position(QPoint newPosition, QSize newSize)
{
    mainPosition = newPosition;
    mainSize = newSize;
    if (follow)
        move(mainPosition - QPoint(offsetX, offsetY));
}

void LogWidget::inputData(const QString& text)
{
    list->addItem(journalLine(text, QTime::currentTime()));
    dropOldest();
}

void LogWidget::inputData(const QStringList& texts)
{
    // Lines that would go at once are never added.
    const qsizetype skipped = std::max<qsizetype>(0, texts.size() - maxLines);
    list->addItems(texts.mid(skipped));
    dropOldest(static_cast<int>(skipped));
}

void LogWidget::clearAll()
{
    list->clear();
    dropped = 0;
}

void LogWidget::dropOldest(int skipped)
{
    const bool noticed = dropped > 0;
    const int first = noticed ? 1 : 0;
    const int excess = std::max(0, list->count() - first - maxLines);
    if (excess == 0 && skipped == 0)
        return;
    for (int row = 0; row < excess; ++row)
        delete list->takeItem(first);
    dropped += excess + skipped;
    if (noticed)
        list->item(0)->setText(droppedText());
    else
        list->insertItem(0, droppedText());
}

QString LogWidget::droppedText() const
{
    return tr("Более ранние строки журнала удалены: %1").arg(dropped);
}

void LogWidget::setPrilip(bool on)
{
    follow = on;
}

void LogWidget::setPrilip()
{
    follow = true;
}

void LogWidget::calculation()
{
    const int x0 = x();
    const int y0 = y();
    const int w = width();
    const int h = height();
    const int mainX = mainPosition.x();
    const int mainY = mainPosition.y();

    const int gapLeft = mainX - (x0 + w) - sideFrame_px;
    const int gapRight = x0 - (mainX + mainSize.width() + sideFrame_px);
    const int gapTop = mainY - (y0 + h) - topFrame_px;
    const int gapBottom = y0 - (mainY + mainSize.height() + bottomFrame_px);

    int newX = x0;
    int newY = y0;
    if (withinSnap(gapLeft)) {
        newX = mainX - w - sideFrame_px;
        follow = true;
    }
    if (withinSnap(gapRight)) {
        newX = mainX + mainSize.width() + sideFrame_px;
        follow = true;
    }
    if (withinSnap(gapTop)) {
        newY = mainY - h - topFrame_px;
        follow = true;
    }
    if (withinSnap(gapBottom)) {
        newY = mainY + mainSize.height() + bottomFrame_px;
        follow = true;
    }
    if (gapLeft > snapDistance || gapRight > snapDistance || gapTop > snapDistance
        || gapBottom > snapDistance)
        follow = false;

    if (newX != x0 || newY != y0)
        move(newX, newY);
    offsetX = mainX - newX;
    offsetY = mainY - newY;
}

void LogWidget::copySelected()
{
    if (list->count() == 0)
        return;
    if (const QListWidgetItem* current = list->currentItem())
        QApplication::clipboard()->setText(current->text());
}

void LogWidget::saveLogAs()
{
    const QString fileName = chooseFileName(this, tr("Выберите имя файла"), "/home/",
                                            tr("Файлы лога(*.txt *.log)"));
    if (fileName.isEmpty())
        return;

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        warnNotWritten(fileName);
        return;
    }
    // A line break after every line: lines run together would be unreadable.
    QTextStream out(&file);
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text() << '\n';
    out.flush();
    // Once, not row by row: each change of the current row repaints a shown journal.
    list->setCurrentRow(list->count() - 1);
    // A full disk must not pass for a saved journal.
    if (out.status() != QTextStream::Ok || !file.flush() || file.error() != QFileDevice::NoError)
        warnNotWritten(fileName);
}

void LogWidget::closeClick()
{
    emit setOnOff(false);
    hide();
}

void LogWidget::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(e);
}

void LogWidget::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    emit needMove();
}

void LogWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit needMove();
}

void LogWidget::closeEvent(QCloseEvent* event)
{
    emit setOnOff(false);
    QWidget::closeEvent(event);
}

void LogWidget::retranslate()
{
    setWindowTitle(tr("Журнал"));
    copyButton->setText(tr("Копировать строку"));
    saveButton->setText(tr("Сохранить как..."));
    closeButton->setText(tr("Закрыть"));
    if (dropped > 0)
        list->item(0)->setText(droppedText());
}

void LogWidget::warnNotWritten(const QString& fileName)
{
    QMessageBox::warning(this, tr("Ошибка записи."),
                         tr("Невозможно создать/перезаписать файл:\n %1").arg(fileName));
}
