#include "term/StatusTexts.h"

#include "host/EventTexts.h"

#include <QStringList>

namespace VPanel::Term {

QString StatusTexts::stateLine(const LinkState& state)
{
    QStringList parts;
    parts << (state.live ? tr("Связь есть") : state.ended ? tr("Нет связи") : tr("Соединение..."));
    if (!state.deviceName.empty())
        parts << QString::fromStdString(state.deviceName);
    if (state.consoleOff)
        parts << tr("Консоль выключена");
    if (state.alarm)
        parts << tr("ТРЕВОГА");
    if (state.lastEvent)
        parts << Host::eventText(*state.lastEvent);
    return parts.join(QStringLiteral(" | "));
}

QString StatusTexts::legend()
{
    return tr("Стрелки Enter Esc/Backspace F1 F2 0-9: клавиши устройства   Ctrl+C: выход");
}

QString StatusTexts::needsTerminal()
{
    return tr("Нужен терминал (или --expect для работы без него)");
}

QString StatusTexts::unsuitableTerminal(const QString& name)
{
    return tr("Терминал TERM='%1' неизвестен или не умеет перемещать курсор").arg(name);
}

} // namespace VPanel::Term
