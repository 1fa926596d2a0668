#include "host/EventTexts.h"

#include <QCoreApplication>

namespace VPanel::Host {

QString eventText(const Panel::Event& event)
{
    const QString pattern = QCoreApplication::translate("QOTransmissionThread", event.text.source);
    return QString::fromStdString(Panel::fillIn(pattern.toStdString(), event.text.arguments));
}

} // namespace VPanel::Host
