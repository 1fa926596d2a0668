#pragma once

#include "qtui/Export.h"

#include <QString>

#include <string>

namespace KelBase::QtUI {

// Wide strings are the text type of every library interface; these carry them to
// and from Qt. Both directions end at the first NUL character, as C strings do.

// A null pointer gives an empty string.
KELQT_EXPORT QString convertToQString(const wchar_t* text);
KELQT_EXPORT QString convertToQString(const std::wstring& text);
KELQT_EXPORT std::wstring convertToKelString(const QString& text);

} // namespace KelBase::QtUI
