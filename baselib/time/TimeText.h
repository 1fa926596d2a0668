#pragma once

#include "baselib/time/Date.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/Time.h"

#include <iosfwd>
#include <string>

// The ISO and display text forms shared by Date, Time and DateTime.
namespace KelTime::Internal {

// A stream for ISO text: the classic locale, so that no digit grouping or local digits creep in.
std::wistringstream isoInput(const std::wstring& text);
std::wostringstream isoOutput();

// Each reader throws DateTimeException with its syntax text when the stream does not hold
// its form, and leaves the stream after the last field it read.
Date readIsoDate(std::wistream& stream);
Time readIsoTime(std::wistream& stream);
// Reads one non-blank character; a different one is put back and the stream marked failed.
bool readSeparator(std::wistream& stream, wchar_t separator);

void writeIsoDate(std::wostream& stream, Date date);
void writeIsoTime(std::wostream& stream, Time time);

// The display text of an instant in a strftime-like format of the console's locale.
std::wstring displayText(const wchar_t* format, const DateTime& instant);

} // namespace KelTime::Internal
