#pragma once

#include <QCoreApplication>

class QFrame;
class QLabel;
class QOIndicator;
class QOInputDevice;
class QPushButton;
class QWidget;

// The widgets of one device's panel: its labels, the search button, the display and the
// keypad. Texts belong to the QORemoteController translation context.
struct PanelUi {
    Q_DECLARE_TR_FUNCTIONS(QORemoteController)

public:
    QLabel* statusLabel = nullptr;
    QLabel* deviceLabel = nullptr;
    QLabel* remoteLabel = nullptr; // the broker's and the gateway's state, for a remote device
    QPushButton* pushButton = nullptr; // the device search button
    QFrame* frame = nullptr;
    QOIndicator* indicator = nullptr;
    QOInputDevice* keypad = nullptr;

    void setupUi(QWidget* panel);
    void retranslateUi();
};
