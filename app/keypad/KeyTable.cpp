#include "app/keypad/KeyTable.h"

#include <QIcon>
#include <QString>

// Outside any namespace, as resources must be registered.
void registerKeypadResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(keypad);
        return true;
    }();
    (void)registered;
}

namespace KeyTable {

namespace {
namespace ScanCode = VPanel::Link::ScanCode;

constexpr int firstDirectCode = ScanCode::Escape;
constexpr int lastDirectCode = ScanCode::Digit0;
constexpr int standardButtonCount = 24;
} // namespace

namespace {
QOKeyTable buildStandardKeys()
{
    registerKeypadResources();
    const auto text = [](const QString& label, int code) { return QOKeyCell{label, code}; };
    const auto digit = [](int value) { return QOKeyCell{QString("%1").arg(value), ScanCode::digit(value)}; };
    const auto icon = [](const char* path, int code) { return QOKeyCell{QIcon(path), code}; };
    const QOKeyCell none{QVariant(), placeholderCode};
    return {
        {none, none, icon(":/Resources/numpad.png", numpadToggleCode), digit(1), digit(2), digit(3)},
        {text("F1", ScanCode::F1), icon(":/Resources/ARW06UP.ICO", ScanCode::Up), text("F2", ScanCode::F2), digit(4),
         digit(5), digit(6)},
        {icon(":/Resources/ARW06LT.ICO", ScanCode::Left), icon(":/Resources/ARW06DN.ICO", ScanCode::Down),
         icon(":/Resources/ARW06RT.ICO", ScanCode::Right), digit(7), digit(8), digit(9)},
        {text("Esc", ScanCode::Backspace), none, text("Enter", ScanCode::Enter), none, digit(0), none},
    };
}
} // namespace

QOKeyTable standardKeys()
{
    // One instance of each icon for every panel: Qt caches an icon's scaled pixmaps per
    // instance, and a closed panel's own instances would leave theirs behind in the cache.
    static const QOKeyTable keys = buildStandardKeys();
    return keys;
}

QStringList standardToolTips()
{
    QStringList tips(standardButtonCount);
    tips[6] = QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - F1");
    tips[8] = QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - F2");
    tips[18] = QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - Backspace, Esc");
    tips[20] = QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - Enter");
    return tips;
}

bool goesToDeviceDirectly(int code)
{
    return code >= firstDirectCode && code <= lastDirectCode;
}

} // namespace KeyTable
