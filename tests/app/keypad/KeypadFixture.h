#pragma once

#include "app/keypad/QOInputButton.h"
#include "app/keypad/QOInputDevice.h"

#include <QObject>
#include <QVector>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// Button numbers of the standard keypad.
enum StandardButton {
    numpadToggle = 2,
    digitOne = 3,
    keyF1 = 6,
    digitFive = 10,
    keyEsc = 18,
    keyEnter = 20,
    digitZero = 22,
};

inline const QVector<int> numericBlock{3, 4, 5, 9, 10, 11, 15, 16, 17, 22};

// The standard keypad as the main window sets it up, recording the codes it sends
// as "P<code>" for a press and "R<code>" for a release.
class StandardKeypad : public ::testing::Test {
protected:
    StandardKeypad()
    {
        keypad.buildKeys(QOInputDevice::standardKeys(), QOInputDevice::standardToolTips());
        keypad.setHideButton(numericBlock.size(), digitZero, numericBlock);
        QObject::connect(&keypad, &QOInputDevice::codePressButton,
                         [this](int code) { sent.push_back("P" + std::to_string(code)); });
        QObject::connect(&keypad, &QOInputDevice::codeReleaseButton,
                         [this](int code) { sent.push_back("R" + std::to_string(code)); });
        keypad.show();
    }

    std::vector<std::string> takeSent() { return std::exchange(sent, {}); }
    QOInputButton* key(int number) const { return keypad.button(number); }

    bool digitsShown() const
    {
        const QList<bool> shown = keypad.keyPadInfo();
        for (int number : numericBlock) {
            if (shown[number] != shown[digitZero])
                ADD_FAILURE() << "button " << number << " disagrees with the zero key";
        }
        return shown[digitZero];
    }

    QOInputDevice keypad;
    std::vector<std::string> sent;
};
