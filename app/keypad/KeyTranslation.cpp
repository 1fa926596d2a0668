#include "app/keypad/KeyTranslation.h"

#include <Qt>

std::optional<int> scanCodeFromQtKey(int qtKey)
{
    if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_9)
        return 2 + (qtKey - Qt::Key_1);
    switch (qtKey) {
    case Qt::Key_Escape: return 1;
    case Qt::Key_0: return 11;
    case Qt::Key_Backspace: return 14;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 28;
    case Qt::Key_F1: return 59;
    case Qt::Key_F2: return 60;
    case Qt::Key_NumLock: return 69;
    case Qt::Key_Up: return 72;
    case Qt::Key_Left: return 75;
    case Qt::Key_Right: return 77;
    case Qt::Key_Down: return 80;
    default: return std::nullopt;
    }
}
