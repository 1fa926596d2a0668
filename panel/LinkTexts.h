#pragma once

// The link's texts are written in Russian and translated by a Qt host under the context
// "QOTransmissionThread"; the marker lets the catalogue tool find them in code without Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif
