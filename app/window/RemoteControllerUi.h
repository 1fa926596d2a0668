#pragma once

#include "app/window/PanelUi.h"

#include <QCoreApplication>
#include <QSize>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QTabWidget;

// The main window's tabs, menus and actions, built once and retranslated on every language
// change. Its panel widgets are those of the current tab's device panel. Texts belong to the
// QORemoteController translation context.
struct RemoteControllerUi : PanelUi {
    Q_DECLARE_TR_FUNCTIONS(QORemoteController)

public:
    static constexpr QSize initialWindowSize{645, 534};

    QTabWidget* tabs = nullptr;

    QMenu* menuFile = nullptr;
    QMenu* menuDisplay = nullptr;
    QMenu* menuSettings = nullptr;
    QMenu* menuLanguage = nullptr;
    QMenu* menuHelp = nullptr;

    QAction* actionSearch = nullptr;
    QAction* actionRemote = nullptr; // a device kept by a gateway, through the broker
    QAction* actionNewTab = nullptr; // an empty device panel, for the search to fill
    QAction* actionCloseTab = nullptr; // stops the current tab's device and closes the tab
    QAction* actionNextTab = nullptr; // in no menu, like the previous tab's
    QAction* actionPreviousTab = nullptr;
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
