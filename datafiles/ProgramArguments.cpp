#include "datafiles/ProgramArguments.h"

#include "baselib/platform/Console.h"

namespace VPanel::ProgramArguments {

std::optional<int> decimalInRange(const QString& text, int minimum, int maximum)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

bool wantsEnglish(const QStringList& arguments)
{
    const auto language = arguments.indexOf(QLatin1String("--lang"));
    if (language >= 0 && language + 1 < arguments.size())
        return arguments[language + 1] == QLatin1String("en");
    return KelConsole::localeWantsEnglish();
}

} // namespace VPanel::ProgramArguments
