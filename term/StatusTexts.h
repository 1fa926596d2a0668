#pragma once

#include "term/ViewFeed.h"

#include <QCoreApplication>
#include <QString>

namespace VPanel::Term {

// The program's words, translated by the installed catalogue.
class StatusTexts {
    Q_DECLARE_TR_FUNCTIONS(StatusTexts)

public:
    // Connected or not, the device's name, console off, alarm, the last event.
    static QString stateLine(const LinkState& state);
    static QString legend();
    static QString needsTerminal();
    // `name` as TERM gives it, empty when unset.
    static QString unsuitableTerminal(const QString& name);
};

} // namespace VPanel::Term
