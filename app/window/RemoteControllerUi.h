#pragma once

#include <QCoreApplication>
#include <QSize>

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QMainWindow;
class QMenu;
class QOIndicator;
class QOInputDevice;
class QPushButton;

// The main window's widgets, menus and actions, built once and retranslated on every
// language change. Texts belong to the QORemoteController translation context.
struct RemoteControllerUi {
    Q_DECLARE_TR_FUNCTIONS(QORemoteController)

public:
    static constexpr QSize initialWindowSize{645, 534};

    QLabel* statusLabel = nullptr;
    QLabel* deviceLabel = nullptr;
    QPushButton* pushButton = nullptr; // the device search button; its name wires the slot
    QFrame* frame = nullptr;
    QOIndicator* indicator = nullptr;
    QOInputDevice* keypad = nullptr;

    QMenu* menuFile = nullptr;
    QMenu* menuDisplay = nullptr;
    QMenu* menuSettings = nullptr;
    QMenu* menuLanguage = nullptr;
    QMenu* menuHelp = nullptr;

    QAction* actionSearch = nullptr;
    QAction* actionReconnect = nullptr; // the last port, address and baud rate again
    QAction* actionRecord = nullptr; // checked while the exchange is recorded
    QAction* actionCopyScreen = nullptr;
    QAction* actionSaveScreen = nullptr;
    QAction* actionExit = nullptr;
    QAction* actionShowGrid = nullptr;
    QAction* actionEmulateFont = nullptr;
    QAction* actionShowEmpty = nullptr;
    QAction* actionDisableReports = nullptr;
    QAction* actionDisableSound = nullptr;
    QAction* actionShowLog = nullptr;
    QAction* actionAdditionalSettings = nullptr;
    QAction* actionRussian = nullptr;
    QAction* actionEnglish = nullptr;
    QAction* actionAbout = nullptr;
    QAction* actionExpertSettings = nullptr;
    QActionGroup* languageGroup = nullptr;

    void setupUi(QMainWindow* window);
    void retranslateUi(QMainWindow* window);
};
