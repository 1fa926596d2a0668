#pragma once

#include "qtui/Export.h"

#include <QObject>

namespace KelBase::QtUI {

// Base of adapters that turn notifications from any thread into Qt signals of a
// target object. By default the call is queued, so the signal is emitted in the
// target's thread. The target is not owned.
class KELQT_EXPORT KelSignalAdapterBase {
protected:
    explicit KelSignalAdapterBase(QObject* target);
    // Adapters are not deleted through this base.
    ~KelSignalAdapterBase() = default;

    // False when there is no target, or it has no method of that name and arguments.
    bool invokeSignal(const char* name,
                      QGenericArgument a0 = QGenericArgument(nullptr),
                      QGenericArgument a1 = QGenericArgument(),
                      QGenericArgument a2 = QGenericArgument(),
                      QGenericArgument a3 = QGenericArgument(),
                      QGenericArgument a4 = QGenericArgument(),
                      QGenericArgument a5 = QGenericArgument(),
                      QGenericArgument a6 = QGenericArgument(),
                      QGenericArgument a7 = QGenericArgument(),
                      QGenericArgument a8 = QGenericArgument(),
                      QGenericArgument a9 = QGenericArgument());
    bool invokeSignal(const char* name, Qt::ConnectionType type,
                      QGenericArgument a0 = QGenericArgument(nullptr),
                      QGenericArgument a1 = QGenericArgument(),
                      QGenericArgument a2 = QGenericArgument(),
                      QGenericArgument a3 = QGenericArgument(),
                      QGenericArgument a4 = QGenericArgument(),
                      QGenericArgument a5 = QGenericArgument(),
                      QGenericArgument a6 = QGenericArgument(),
                      QGenericArgument a7 = QGenericArgument(),
                      QGenericArgument a8 = QGenericArgument(),
                      QGenericArgument a9 = QGenericArgument());

private:
    static Qt::ConnectionType signalConnectionType();

    QObject* target = nullptr;
};

} // namespace KelBase::QtUI
