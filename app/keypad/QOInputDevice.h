#pragma once

#include "app/keypad/KeyTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <array>
#include <chrono>
#include <optional>
#include <set>

class QCloseEvent;
class QEvent;
class QGridLayout;
class QKeyEvent;
class QOInputButton;

// The on-screen keypad: a grid of QOInputButtons plus the PC keyboard (while the
// keypad holds the keyboard grab). Every press and release of a key becomes
// codePressButton / codeReleaseButton with the device's key code (set-1 scan codes).
class QOInputDevice : public QWidget {
    Q_OBJECT

public:
    static constexpr int numpadToggleCode = KeyTable::numpadToggleCode;
    static constexpr int placeholderCode = KeyTable::placeholderCode;
    static constexpr int maxGroupButtons = 200;
    // X repeats a held key as a release and a press at the same event time, and Qt does not
    // mark every such pair as auto-repeat: a press this soon after the release of the same key
    // is one, and the key stays held.
    static constexpr std::chrono::milliseconds autoRepeatGap{2};
    // How long the release of a PC key waits for the press that would make it auto-repeat.
    static constexpr std::chrono::milliseconds repeatPressWait{20};

    explicit QOInputDevice(QWidget* parent = nullptr);

    static QOKeyTable standardKeys() { return KeyTable::standardKeys(); }
    static QStringList standardToolTips() { return KeyTable::standardToolTips(); }

    // toolTip is a source text of this class's translation context: the keypad
    // translates it and translates it again when the language changes.
    void addKey(const QVariant& content, int code, const QString& toolTip);
    void buildKeys(const QOKeyTable& table, const QStringList& toolTips);

    // The button of that number, or none when the number is out of range.
    QOInputButton* button(int number) const;

signals:
    void codePressButton(int x);
    void codeReleaseButton(int x);
    // errorCode 1: the button already has the requested visibility; 2: no such button.
    void error(int numberButton, bool values, int errorCode);

public slots:
    // Gives up the keyboard grab; keys held on the keyboard are let go for the device.
    void yieldKeyboard();
    bool statusNumpad() const;
    void hideShowVirtualClaviature();
    int countButton() const;
    QList<bool> keyPadInfo() const;
    void setHideButton(int additionalParam, int inCheckButton, const QVector<int>& groupNumbers);
    // 0 done, 1 visibility already as requested, 2 number out of range (button 0 included).
    int setUnsetVisibleButtons(int number, bool set);
    void showAll();
    void disableVision(const QVector<int>& numberKeys, int sizeMassive);
    void enableVision(const QVector<int>& numberKeys, int sizeMassive);
    void animateClick();
    void animateClick(const QList<int>& clickButton);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void slotButtonPress();
    void slotButtonRelease();
    void slotButtonLock();

private:
    struct PendingRelease {
        int qtKey = 0;
        int code = 0;
        quint64 timestamp = 0;
    };

    void releaseKey(int code);
    void flushPendingRelease();
    void releaseKeyboardKeys();
    void pressOf(const QOInputButton* key);
    void releaseOf(const QOInputButton* key);
    void toggleLockOf(QOInputButton* key);
    QOInputButton* firstWithCode(int code, bool skipLocked) const;
    bool isLockedCode(int code) const;
    bool isShown(int number) const;
    void applyToolTip(int number);

    QVector<QOInputButton*> buttons;
    QVector<QByteArray> toolTipSources;  // parallel to buttons
    QGridLayout* grid = nullptr;
    QOInputButton* numpadButton = nullptr;
    bool numpadShown = false;
    int groupCount = 0;
    int checkButton = -1;
    std::array<int, maxGroupButtons> groupButtons{};
    std::optional<PendingRelease> pendingRelease;
    // The last release of a key not held here, whose repeat press is not a new press.
    std::optional<PendingRelease> unheldRelease;
    // Codes of the PC keys held down, whose releases are still to come.
    std::set<int> keyboardHeld;
    QTimer releaseTimer;
};
