#pragma once

#include "app/display/SymbolMatrix.h"
#include "host/StandardGlyphs.h"
#include "link/Glyph.h"

#include <QString>
#include <QStringList>

#include <optional>

// The standard 5 x 8 glyph set of the map file (see host/StandardGlyphs.h) as the display's
// symbol matrices.
namespace StandardGlyphs {
// The device's own glyph size.
inline constexpr int columns = VPanel::Link::DotMatrix::columns;
inline constexpr int rows = VPanel::Link::DotMatrix::rows;

// Codes the standard set covers, and within them the device's signs, which are installed
// after every load whatever the state of the standard set.
inline constexpr int firstCode = VPanel::Host::firstStandardCode;
inline constexpr int lastCode = VPanel::Host::lastStandardCode;
inline constexpr int firstSignCode = 128;
inline constexpr int lastSignCode = 191;

// Shown under an unlit place when empty dots are drawn; blank in the standard set.
inline constexpr char blankCode = static_cast<char>(167);

inline constexpr const char* mapFileName = VPanel::Host::glyphMapFileName;

// Registers the resource holding the map file, which a static library does not do by itself.
void initResources();

inline bool isSignCode(int code) { return code >= firstSignCode && code <= lastSignCode; }

// Only a field that reads as the integer 1 is a lit dot; missing fields are unlit.
SymbolMatrix parseLine(const QString& line);

// The glyph of `code` from the map file's lines, or nothing when the file is too short.
std::optional<SymbolMatrix> glyphFor(const QStringList& lines, int code);
} // namespace StandardGlyphs
