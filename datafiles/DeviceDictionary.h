#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The dictionary of device names, "dictionary.txt": Windows-1251 text, one "identifier TAB
// name" per line, and where the program finds the data files it ships.

namespace VPanel {

inline constexpr char dictionaryFileName[] = "dictionary.txt";

using DeviceDictionary = QMap<int, QString>;

// Every line that splits at TABs into exactly two parts counts: the first read as a decimal
// number (0 when it is none), the second the name, possibly empty. A later line replaces an
// earlier one with the same number. Lines end with LF or CR LF.
DeviceDictionary parseDeviceDictionary(const QByteArray& windows1251);

// Where the program looks for a data file it ships, in order: the working directory, beside
// the executable, the data directory of the prefix the executable is in, then the installed
// data directory.
QStringList dataFileCandidates(const QString& fileName);

// The same without the working directory.
QStringList installedFileCandidates(const QString& fileName);

// The dictionary from the first of the paths that can be opened; nothing when none can.
std::optional<DeviceDictionary> readDeviceDictionary(const QStringList& paths);

} // namespace VPanel
