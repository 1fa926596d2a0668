#pragma once

#include <QCoreApplication>
#include <QString>

// Advice for a port that would not open.
class PortAdvice {
    Q_DECLARE_TR_FUNCTIONS(PortAdvice)

public:
    // When the file mode of the port's device node keeps the user out: a line naming the
    // group that owns it and what it takes to join that group; otherwise empty.
    static QString accessLine(const QString& portName);
};
