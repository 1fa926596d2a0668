#include "qtui/IProxyWidget.h"

namespace KelBase::QtUI {

IProxyWidget::IProxyWidget(QObject* parent)
    : QObject(parent)
{
}

} // namespace KelBase::QtUI
