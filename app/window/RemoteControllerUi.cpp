#include "app/window/RemoteControllerUi.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

namespace {

QAction* makeAction(QMainWindow* window, bool checkable, const char* icon = nullptr)
{
    auto* action = new QAction(window);
    action->setCheckable(checkable);
    if (icon)
        action->setIcon(QIcon(QString::fromLatin1(icon)));
    return action;
}

} // namespace

void RemoteControllerUi::setupUi(QMainWindow* window)
{
    window->resize(initialWindowSize);
    window->setWindowIcon(QIcon(QStringLiteral(":/Resources/connect.ico")));

    tabs = new QTabWidget(window);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->setTabsClosable(true);
    tabs->setMovable(true);
    tabs->setDocumentMode(true);
    // Every tab in sight, its title shortened when many share the bar.
    tabs->setElideMode(Qt::ElideRight);
    tabs->setUsesScrollButtons(false);
    window->setCentralWidget(tabs);

    actionSearch = makeAction(window, false);
    actionRemote = makeAction(window, false);
    actionNewTab = makeAction(window, false);
    actionNewTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    actionCloseTab = makeAction(window, false);
    actionCloseTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    // The keypad holds the keyboard, so the tab bar's own keys never reach it.
    actionNextTab = makeAction(window, false);
    actionNextTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    actionPreviousTab = makeAction(window, false);
    actionPreviousTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    window->addAction(actionNextTab);
    window->addAction(actionPreviousTab);
    actionReconnect = makeAction(window, false);
    actionReconnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    // Nothing to reconnect to before a first link has ended.
    actionReconnect->setEnabled(false);
    actionRecord = makeAction(window, true);
    actionCopyScreen = makeAction(window, false);
    actionCopyScreen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    actionSaveScreen = makeAction(window, false);
    actionExit = makeAction(window, false);
    actionExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actionShowGrid = makeAction(window, true);
    // The display starts with its grid on.
    actionShowGrid->setChecked(true);
    actionEmulateFont = makeAction(window, true);
    actionShowEmpty = makeAction(window, true);
    actionDisableReports = makeAction(window, true);
    actionDisableSound = makeAction(window, true);
    actionShowLog = makeAction(window, true);
    actionShowLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    actionAdditionalSettings = makeAction(window, false);
    actionAdditionalSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    actionRussian = makeAction(window, true, ":/Resources/russian.ico");
    actionRussian->setChecked(true);
    actionEnglish = makeAction(window, true, ":/Resources/english.png");
    actionAbout = makeAction(window, false);
    actionExpertSettings = makeAction(window, false);
    actionExpertSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // In no menu: the window itself carries it so that its shortcut works.
    window->addAction(actionExpertSettings);

    languageGroup = new QActionGroup(window);
    languageGroup->setExclusive(true);
    languageGroup->addAction(actionRussian);
    languageGroup->addAction(actionEnglish);

    QMenuBar* bar = window->menuBar();
    menuFile = bar->addMenu(QString());
    menuFile->addAction(actionSearch);
    menuFile->addAction(actionRemote);
    menuFile->addAction(actionNewTab);
    menuFile->addAction(actionCloseTab);
    menuFile->addAction(actionReconnect);
    menuFile->addSeparator();
    menuFile->addAction(actionRecord);
    menuFile->addAction(actionCopyScreen);
    menuFile->addAction(actionSaveScreen);
    menuFile->addSeparator();
    menuFile->addAction(actionExit);
    menuDisplay = bar->addMenu(QString());
    menuDisplay->addAction(actionShowGrid);
    menuDisplay->addAction(actionEmulateFont);
    menuDisplay->addAction(actionShowEmpty);
    menuDisplay->addSeparator();
    menuDisplay->addAction(actionCopyScreen);
    menuDisplay->addAction(actionSaveScreen);
    menuSettings = bar->addMenu(QString());
    menuSettings->addAction(actionDisableReports);
    menuSettings->addAction(actionDisableSound);
    menuSettings->addSeparator();
    menuSettings->addAction(actionShowLog);
    menuSettings->addAction(actionAdditionalSettings);
    menuSettings->addSeparator();
    menuLanguage = menuSettings->addMenu(QString());
    menuLanguage->addAction(actionRussian);
    menuLanguage->addAction(actionEnglish);
    menuHelp = bar->addMenu(QString());
    menuHelp->addAction(actionAbout);

    window->statusBar();
    retranslateUi(window);
}

void RemoteControllerUi::retranslateUi(QMainWindow* window)
{
    window->setWindowTitle(tr("Велидар 1.0"));

    menuFile->setTitle(tr("Файл"));
    menuDisplay->setTitle(tr("Дисплей"));
    menuSettings->setTitle(tr("Настройки"));
    menuLanguage->setTitle(tr("Язык/Language"));
    menuHelp->setTitle(tr("Помощь"));

    actionSearch->setText(tr("Поиск устройств..."));
    actionRemote->setText(tr("Удалённое устройство..."));
    actionNewTab->setText(tr("Новая вкладка"));
    actionCloseTab->setText(tr("Закрыть вкладку"));
    actionReconnect->setText(tr("Переподключить"));
    actionRecord->setText(tr("Записать обмен..."));
    actionCopyScreen->setText(tr("Копировать экран"));
    actionSaveScreen->setText(tr("Сохранить экран..."));
    actionExit->setText(tr("Выход"));
    actionShowGrid->setText(tr("Показывать сетку"));
    actionEmulateFont->setText(tr("Эмулировать шрифт дисплея ВЛД"));
    actionShowEmpty->setText(tr("Показывать пустые элементы"));
    actionShowEmpty->setToolTip(tr("Отрисовывать пустые елементы"));
    actionDisableReports->setText(tr("Отключить отчет об ошибках"));
    actionDisableSound->setText(tr("Отключить звук"));
    actionShowLog->setText(tr("Показывать журнал..."));
    actionAdditionalSettings->setText(tr("Дополнительные настройки..."));
    actionRussian->setText(tr("Русский"));
    actionEnglish->setText(tr("English"));
    actionAbout->setText(tr("О программе..."));
    actionExpertSettings->setText(tr("Проф настройки"));
}
