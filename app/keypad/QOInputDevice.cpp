#include "app/keypad/QOInputDevice.h"

#include "app/keypad/KeyTranslation.h"
#include "app/keypad/QOInputButton.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QSize>

#include <algorithm>
#include <utility>

namespace {

constexpr QSize buttonSize{40, 40};
constexpr QSize numpadIconSize{35, 35};

const char* const numpadHiddenStyle = "border: 3px groove #FF3333; ";
const char* const numpadShownStyle = "border: 2px groove #33FF66;";
const char* const highlightStyle = "background-color: rgb(255, 183, 94);";

} // namespace

QOInputDevice::QOInputDevice(QWidget* parent)
    : QWidget(parent), grid(new QGridLayout(this))
{
    registerKeypadResources();
    releaseTimer.setSingleShot(true);
    releaseTimer.setInterval(repeatPressWait);
    connect(&releaseTimer, &QTimer::timeout, this, &QOInputDevice::flushPendingRelease);
}

void QOInputDevice::addKey(const QVariant& content, int code, const QString& toolTip)
{
    if (code > KeyTable::maxKeyCode)
        code = placeholderCode;

    auto* key = new QOInputButton(content, code, this);
    key->setMinimumSize(buttonSize);
    key->setMaximumSize(buttonSize);
    key->setFocusPolicy(Qt::NoFocus);
    connect(key, &QOInputButton::pressed, this, &QOInputDevice::slotButtonPress);
    connect(key, &QOInputButton::released, this, &QOInputDevice::slotButtonRelease);
    connect(key, &QOInputButton::lockedButton, this, &QOInputDevice::slotButtonLock);

    if (code == numpadToggleCode) {
        key->setIconSize(numpadIconSize);
        key->setFlat(true);
        numpadButton = key;
    }
    if (code == placeholderCode)
        key->hide();

    buttons.append(key);
    toolTipSources.append(code == placeholderCode ? QByteArray() : toolTip.toUtf8());
    applyToolTip(buttons.size() - 1);
}

void QOInputDevice::buildKeys(const QOKeyTable& table, const QStringList& toolTips)
{
    if (!grid)
        grid = new QGridLayout(this);
    for (int row = 0; row < table.size(); ++row) {
        for (int column = 0; column < table[row].size(); ++column) {
            const QOKeyCell& cell = table[row][column];
            const int number = buttons.size();
            addKey(cell.content, cell.code, toolTips.value(number));
            grid->addWidget(buttons.last(), row, column);
        }
    }
}

QOInputButton* QOInputDevice::button(int number) const
{
    return number >= 0 && number < buttons.size() ? buttons[number] : nullptr;
}

bool QOInputDevice::statusNumpad() const
{
    return numpadShown;
}

void QOInputDevice::hideShowVirtualClaviature()
{
    if (!button(checkButton)) {
        emit error(checkButton, false, 2);
        return;
    }
    const bool show = !isShown(checkButton);
    for (int i = 0; i < groupCount; ++i)
        setUnsetVisibleButtons(groupButtons[i], show);
    numpadShown = show;
    if (numpadButton)
        numpadButton->setStyleSheet(show ? numpadShownStyle : numpadHiddenStyle);
}

int QOInputDevice::countButton() const
{
    return buttons.size();
}

QList<bool> QOInputDevice::keyPadInfo() const
{
    QList<bool> shown;
    for (int i = 0; i < buttons.size(); ++i)
        shown.append(isShown(i));
    return shown;
}

void QOInputDevice::setHideButton(int additionalParam, int inCheckButton, const QVector<int>& groupNumbers)
{
    groupCount = std::clamp(additionalParam, 0, std::min<int>(maxGroupButtons, groupNumbers.size()));
    checkButton = inCheckButton;
    std::copy_n(groupNumbers.cbegin(), groupCount, groupButtons.begin());
}

int QOInputDevice::setUnsetVisibleButtons(int number, bool set)
{
    if (number < 1 || number >= buttons.size()) {
        emit error(number, set, 2);
        return 2;
    }
    if (isShown(number) == set) {
        emit error(number, set, 1);
        return 1;
    }
    buttons[number]->setVisible(set);
    return 0;
}

void QOInputDevice::showAll()
{
    for (int i = 0; i < buttons.size(); ++i)
        setUnsetVisibleButtons(i, true);
}

void QOInputDevice::disableVision(const QVector<int>& numberKeys, int sizeMassive)
{
    for (int i = 0; i < std::min<int>(sizeMassive, numberKeys.size()); ++i)
        setUnsetVisibleButtons(numberKeys[i], false);
}

void QOInputDevice::enableVision(const QVector<int>& numberKeys, int sizeMassive)
{
    for (int i = 0; i < std::min<int>(sizeMassive, numberKeys.size()); ++i)
        setUnsetVisibleButtons(numberKeys[i], true);
}

void QOInputDevice::animateClick()
{
    for (QOInputButton* key : buttons) {
        if (key->codeButton() != numpadToggleCode)
            key->setStyleSheet(QString());
    }
}

void QOInputDevice::animateClick(const QList<int>& clickButton)
{
    for (int number : clickButton) {
        QOInputButton* key = button(number);
        if (key && key->codeButton() != numpadToggleCode)
            key->setStyleSheet(highlightStyle);
    }
}

void QOInputDevice::keyPressEvent(QKeyEvent* event)
{
    const std::optional<int> code = scanCodeFromQtKey(event->key());
    if (!code) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (pendingRelease && pendingRelease->qtKey == event->key() &&
        (event->isAutoRepeat() || (event->timestamp() >= pendingRelease->timestamp &&
                                   event->timestamp() - pendingRelease->timestamp <=
                                       static_cast<quint64>(autoRepeatGap.count())))) {
        releaseTimer.stop();
        pendingRelease.reset();
        return;
    }
    if (event->isAutoRepeat() || (unheldRelease && unheldRelease->qtKey == event->key() &&
                                  event->timestamp() >= unheldRelease->timestamp &&
                                  event->timestamp() - unheldRelease->timestamp <=
                                      static_cast<quint64>(autoRepeatGap.count())))
        return;
    unheldRelease.reset();
    flushPendingRelease();
    keyboardHeld.insert(*code);
    if (KeyTable::goesToDeviceDirectly(*code))
        emit codePressButton(*code);
    if (QOInputButton* key = firstWithCode(*code, false)) {
        if (event->modifiers() & Qt::ControlModifier)
            key->lockButton();
        else
            key->touchButton();
    }
}

void QOInputDevice::keyReleaseEvent(QKeyEvent* event)
{
    const std::optional<int> code = scanCodeFromQtKey(event->key());
    if (!code) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    // A release already made for the key when the window lost the keyboard is not repeated.
    if (event->isAutoRepeat())
        return;
    // A key held since before the keypad took the keyboard (from another tab) repeats as
    // releases and presses here: it belongs to where it was pressed.
    if (keyboardHeld.count(*code) == 0) {
        if (event->timestamp() != 0)
            unheldRelease = PendingRelease{event->key(), *code, event->timestamp()};
        return;
    }
    flushPendingRelease();
    // An event without a time (a synthetic one) cannot be paired with a press.
    if (event->timestamp() == 0) {
        releaseKey(*code);
        return;
    }
    pendingRelease = PendingRelease{event->key(), *code, event->timestamp()};
    releaseTimer.start();
}

void QOInputDevice::releaseKey(int code)
{
    keyboardHeld.erase(code);
    // A locked key stays held on the device: the direct release would undo the lock.
    if (KeyTable::goesToDeviceDirectly(code) && !isLockedCode(code))
        emit codeReleaseButton(code);
    if (QOInputButton* key = firstWithCode(code, true))
        key->releaseButton();
}

void QOInputDevice::flushPendingRelease()
{
    releaseTimer.stop();
    if (const std::optional<PendingRelease> pending = std::exchange(pendingRelease, std::nullopt))
        releaseKey(pending->code);
}

void QOInputDevice::releaseKeyboardKeys()
{
    flushPendingRelease();
    while (!keyboardHeld.empty())
        releaseKey(*keyboardHeld.begin());
}

void QOInputDevice::yieldKeyboard()
{
    releaseKeyboardKeys();
    releaseKeyboard();
}

bool QOInputDevice::event(QEvent* event)
{
    // The releases of keys held now go to the window that takes the keyboard (another program,
    // a box), never here: without this the device would see them held for good.
    if (event->type() == QEvent::WindowDeactivate)
        releaseKeyboardKeys();
    return QWidget::event(event);
}

void QOInputDevice::closeEvent(QCloseEvent* event)
{
    releaseKeyboardKeys();
    qDeleteAll(buttons);
    buttons.clear();
    toolTipSources.clear();
    numpadButton = nullptr;
    delete grid;
    grid = nullptr;
    QWidget::closeEvent(event);
}

void QOInputDevice::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        for (int i = 0; i < buttons.size(); ++i)
            applyToolTip(i);
    }
    QWidget::changeEvent(event);
}

void QOInputDevice::slotButtonPress()
{
    if (const auto* key = qobject_cast<const QOInputButton*>(sender()))
        pressOf(key);
}

void QOInputDevice::slotButtonRelease()
{
    if (const auto* key = qobject_cast<const QOInputButton*>(sender()))
        releaseOf(key);
}

void QOInputDevice::slotButtonLock()
{
    if (auto* key = qobject_cast<QOInputButton*>(sender()))
        toggleLockOf(key);
}

void QOInputDevice::pressOf(const QOInputButton* key)
{
    emit codePressButton(key->codeButton());
}

void QOInputDevice::releaseOf(const QOInputButton* key)
{
    emit codeReleaseButton(key->codeButton());
    if (key->codeButton() == numpadToggleCode)
        hideShowVirtualClaviature();
}

void QOInputDevice::toggleLockOf(QOInputButton* key)
{
    if (key->isCheckable()) {
        key->setChecked(false);
        key->setCheckable(false);
        key->setDown(false);
        releaseOf(key);
    } else {
        key->setCheckable(true);
        key->setChecked(true);
        pressOf(key);
    }
    update();
}

QOInputButton* QOInputDevice::firstWithCode(int code, bool skipLocked) const
{
    const auto found = std::find_if(buttons.cbegin(), buttons.cend(), [&](const QOInputButton* key) {
        return key->codeButton() == code && !(skipLocked && key->isChecked());
    });
    return found == buttons.cend() ? nullptr : *found;
}

bool QOInputDevice::isLockedCode(int code) const
{
    return std::any_of(buttons.cbegin(), buttons.cend(), [code](const QOInputButton* key) {
        return key->codeButton() == code && key->isChecked();
    });
}

bool QOInputDevice::isShown(int number) const
{
    // The state asked for with setVisible, also while the keypad itself is not shown.
    return buttons[number]->isVisibleTo(this);
}

void QOInputDevice::applyToolTip(int number)
{
    const QByteArray& source = toolTipSources[number];
    buttons[number]->setToolTip(source.isEmpty() ? QString() : tr(source.constData()));
}
