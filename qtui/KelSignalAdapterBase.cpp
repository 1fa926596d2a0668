#include "qtui/KelSignalAdapterBase.h"

#include <QMetaObject>

namespace KelBase::QtUI {

KelSignalAdapterBase::KelSignalAdapterBase(QObject* target)
    : target(target)
{
}

bool KelSignalAdapterBase::invokeSignal(const char* name,
                                        QGenericArgument a0, QGenericArgument a1,
                                        QGenericArgument a2, QGenericArgument a3,
                                        QGenericArgument a4, QGenericArgument a5,
                                        QGenericArgument a6, QGenericArgument a7,
                                        QGenericArgument a8, QGenericArgument a9)
{
    return invokeSignal(name, signalConnectionType(), a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
}

bool KelSignalAdapterBase::invokeSignal(const char* name, Qt::ConnectionType type,
                                        QGenericArgument a0, QGenericArgument a1,
                                        QGenericArgument a2, QGenericArgument a3,
                                        QGenericArgument a4, QGenericArgument a5,
                                        QGenericArgument a6, QGenericArgument a7,
                                        QGenericArgument a8, QGenericArgument a9)
{
    if (!target || !name)
        return false;
    return QMetaObject::invokeMethod(target, name, type, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
}

Qt::ConnectionType KelSignalAdapterBase::signalConnectionType()
{
    return Qt::QueuedConnection;
}

} // namespace KelBase::QtUI
