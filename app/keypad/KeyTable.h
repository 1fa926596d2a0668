#pragma once

#include "link/ScanCodes.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

// One cell of a keypad table: the button's text or icon and its key code.
struct QOKeyCell {
    QVariant content;
    int code = -1;
};

// Rows of cells; a button's number is its row * columns + column.
using QOKeyTable = QVector<QVector<QOKeyCell>>;

// Registers the keypad's icons; the keypad lives in a static library, so nothing else would
// pull them into the program.
void registerKeypadResources();

// Which keys the keypad has and what each of them sends.
namespace KeyTable {

// The code of a cell that holds no key: its button stays hidden.
inline constexpr int placeholderCode = -1;
// The button that shows and hides the numeric block.
inline constexpr int numpadToggleCode = VPanel::Link::ScanCode::NumLock;
// A higher code gives a placeholder.
inline constexpr int maxKeyCode = 255;

// The device's standard 4 x 6 keypad and its tool tips, one per button number. Tool tips are
// source texts of QOInputDevice's translation context.
QOKeyTable standardKeys();
QStringList standardToolTips();

// PC keys whose codes also go to the device directly, besides pressing their buttons: Esc and
// the digits.
bool goesToDeviceDirectly(int code);

} // namespace KeyTable
