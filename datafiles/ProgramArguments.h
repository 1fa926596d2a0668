#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What every program with a user reads the same way from its command line.
namespace VPanel::ProgramArguments {

// A decimal number in [minimum, maximum], nothing otherwise.
std::optional<int> decimalInRange(const QString& text, int minimum, int maximum);

// English under "--lang en", Russian under any other --lang; without one, the locale decides.
bool wantsEnglish(const QStringList& arguments);

} // namespace VPanel::ProgramArguments
