#pragma once

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QOBList;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

// The child widgets of the search window, under the object names the window's slots are
// connected by. The window sets their texts.
struct FindDeviceForm {
    // Builds the widgets and layout on the window and fills the fixed lists.
    void setup(QWidget* window);

    QLabel* label = nullptr;
    QComboBox* boxCom = nullptr;
    QLabel* label_2 = nullptr;
    QComboBox* boxSpeed = nullptr;
    QLabel* label_3 = nullptr;
    QComboBox* boxAddresBegin = nullptr;
    QLabel* label_4 = nullptr;
    QComboBox* boxAddresEnd = nullptr;
    QPushButton* findButton = nullptr;
    QPushButton* stopButton = nullptr;
    QCheckBox* quickBox = nullptr;
    QCheckBox* stopAtFirstBox = nullptr;
    QGroupBox* groupBox = nullptr;
    QOBList* infoView = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* progressLabel = nullptr;
    QToolButton* pushButton_2 = nullptr; // the chosen device in the current tab
    QToolButton* newTabButton = nullptr; // the chosen device in a new tab
    QPushButton* pushButton = nullptr;
    QGroupBox* groupBox_2 = nullptr;
    QListWidget* infoView_2 = nullptr;
};
