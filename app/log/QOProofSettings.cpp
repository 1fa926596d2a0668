#include "app/log/QOProofSettings.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr QSize dialogSize{262, 119};
constexpr int minWriteInterval_ms = 0;
constexpr int maxWriteInterval_ms = 99;
// 0 leaves only the 3.5 characters of silence before a request; a second is far beyond any
// device's turnaround.
constexpr int minRequestPause_ms = 0;
constexpr int maxRequestPause_ms = 1000;

} // namespace

QOProofSettings::QOProofSettings(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      group(new QGroupBox(this)),
      intervalLabel(new QLabel(group)),
      intervalBox(new QSpinBox(group)),
      pauseLabel(new QLabel(group)),
      pauseBox(new QSpinBox(group)),
      afterReplyBox(new QCheckBox(group)),
      nextConnectionLabel(new QLabel(group)),
      okButton(new QPushButton(this)),
      cancelButton(new QPushButton(this))
{
    setWindowModality(Qt::WindowModal);
    intervalBox->setRange(minWriteInterval_ms, maxWriteInterval_ms);
    pauseBox->setRange(minRequestPause_ms, maxRequestPause_ms);

    auto* timing = new QGridLayout(group);
    timing->addWidget(intervalLabel, 0, 0);
    timing->addWidget(intervalBox, 0, 1);
    timing->addWidget(pauseLabel, 1, 0);
    timing->addWidget(pauseBox, 1, 1);
    timing->addWidget(afterReplyBox, 2, 0, 1, 2);
    timing->addWidget(nextConnectionLabel, 3, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    retranslate();
    resize(dialogSize.expandedTo(sizeHint()));
    hide();

    connect(okButton, &QPushButton::clicked, this, &QOProofSettings::applyClick);
    connect(cancelButton, &QPushButton::clicked, this, &QOProofSettings::cancelClick);
}

int QOProofSettings::writeIntervalMs() const
{
    return intervalBox->value();
}

void QOProofSettings::setWriteIntervalMs(int interval_ms)
{
    intervalBox->setValue(interval_ms);
}

int QOProofSettings::requestPauseMs() const
{
    return pauseBox->value();
}

void QOProofSettings::setRequestPauseMs(int pause_ms)
{
    pauseBox->setValue(pause_ms);
}

bool QOProofSettings::intervalAfterReply() const
{
    return afterReplyBox->isChecked();
}

void QOProofSettings::setIntervalAfterReply(bool wait)
{
    afterReplyBox->setChecked(wait);
}

void QOProofSettings::applyClick()
{
    emit setRequestTiming(pauseBox->value(), afterReplyBox->isChecked());
    emit setIntervalPacketWrite(intervalBox->value());
    hide();
}

void QOProofSettings::cancelClick()
{
    hide();
}

void QOProofSettings::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(e);
}

void QOProofSettings::retranslate()
{
    setWindowTitle(tr("Дополнительные настройки"));
    group->setTitle(tr("Настройки"));
    intervalLabel->setText(tr("Интервал записи"));
    pauseLabel->setText(tr("Пауза перед запросом"));
    afterReplyBox->setText(tr("Ждать интервал после ответа"));
    // A running connection keeps the timing it started with.
    nextConnectionLabel->setText(tr("Действует со следующего соединения"));
    const QString milliseconds = tr(" мс");
    intervalBox->setSuffix(milliseconds);
    pauseBox->setSuffix(milliseconds);
    okButton->setText(tr("Ок"));
    cancelButton->setText(tr("Отмена"));
}
