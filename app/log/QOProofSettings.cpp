#include "app/log/QOProofSettings.h"

#include <QEvent>
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

} // namespace

QOProofSettings::QOProofSettings(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      group(new QGroupBox(this)),
      intervalLabel(new QLabel(group)),
      intervalBox(new QSpinBox(group)),
      okButton(new QPushButton(this)),
      cancelButton(new QPushButton(this))
{
    setWindowModality(Qt::WindowModal);
    intervalBox->setRange(minWriteInterval_ms, maxWriteInterval_ms);

    auto* interval = new QHBoxLayout(group);
    interval->addWidget(intervalLabel);
    interval->addWidget(intervalBox);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    resize(dialogSize);
    retranslate();
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

void QOProofSettings::applyClick()
{
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
    okButton->setText(tr("Ок"));
    cancelButton->setText(tr("Отмена"));
}
