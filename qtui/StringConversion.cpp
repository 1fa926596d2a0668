#include "qtui/StringConversion.h"

namespace KelBase::QtUI {

QString convertToQString(const wchar_t* text)
{
    if (!text)
        return {};
    return QString::fromWCharArray(text, -1);
}

QString convertToQString(const std::wstring& text)
{
    return convertToQString(text.c_str());
}

std::wstring convertToKelString(const QString& text)
{
    std::wstring result = text.toStdWString();
    const std::wstring::size_type end = result.find(L'\0');
    if (end != std::wstring::npos)
        result.erase(end);
    return result;
}

} // namespace KelBase::QtUI
