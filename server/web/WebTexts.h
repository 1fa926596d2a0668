#pragma once

#include <QJsonObject>

class QTranslator;

namespace VPanel::Server {

// The web pages' words, key -> text, for GET /api/texts. Texts the window already has keep its
// context and source, so one catalogue translates both. With no catalogue given the installed
// translators translate; with one, that catalogue alone does (an empty one gives the Russian
// sources), so each page may have its own language whatever the server's.
QJsonObject webTexts(const QTranslator* catalogue = nullptr);

} // namespace VPanel::Server
