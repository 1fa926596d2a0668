#include "app/search/SearchChoices.h"

#include "datafiles/ProgramSettings.h"

#include <QSettings>
#include <QString>

namespace {
const QString settingsGroup = QStringLiteral("FindDevice");
const QString portKey = QStringLiteral("comPort");
const QString beginKey = QStringLiteral("addresBegin");
const QString endKey = QStringLiteral("addresEnd");
const QString speedKey = QStringLiteral("speed");
const QString quickKey = QStringLiteral("quickSearch");
const QString stopAtFirstKey = QStringLiteral("stopAtFirstDevice");
} // namespace

SearchChoices SearchChoices::read()
{
    const std::unique_ptr<QSettings> settings = VPanel::openProgramSettings();
    settings->beginGroup(settingsGroup);
    SearchChoices choices;
    choices.portIndex = settings->value(portKey, 0).toInt();
    choices.beginIndex = settings->value(beginKey, 0).toInt();
    choices.endIndex = settings->value(endKey, 0).toInt();
    choices.speedIndex = settings->value(speedKey, 0).toInt();
    choices.quick = settings->value(quickKey, false).toBool();
    choices.stopAtFirst = settings->value(stopAtFirstKey, false).toBool();
    return choices;
}

void SearchChoices::write() const
{
    const std::unique_ptr<QSettings> settings = VPanel::openProgramSettings();
    settings->beginGroup(settingsGroup);
    settings->setValue(portKey, portIndex);
    settings->setValue(beginKey, beginIndex);
    settings->setValue(endKey, endIndex);
    settings->setValue(speedKey, speedIndex);
    settings->setValue(quickKey, quick);
    settings->setValue(stopAtFirstKey, stopAtFirst);
}
