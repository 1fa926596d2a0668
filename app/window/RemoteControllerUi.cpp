#include "app/window/RemoteControllerUi.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

constexpr int labelFont_pt = 14;
constexpr int labelMaxHeight_px = 71;
constexpr QSize searchIconSize{50, 50};
constexpr QSize searchButtonMaxSize{51, 41};
constexpr int keypadMaxWidth_px = 300;

QLabel* makeHeadLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSize(labelFont_pt);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setMaximumHeight(labelMaxHeight_px);
    return label;
}

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

    auto* central = new QWidget(window);
    auto* column = new QVBoxLayout(central);

    auto* head = new QHBoxLayout;
    statusLabel = makeHeadLabel(central);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    deviceLabel = makeHeadLabel(central);
    deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    pushButton = new QPushButton(central);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setIcon(QIcon(QStringLiteral(":/Resources/binoculars.ico")));
    pushButton->setIconSize(searchIconSize);
    pushButton->setMaximumSize(searchButtonMaxSize);
    head->addWidget(statusLabel);
    head->addWidget(deviceLabel);
    head->addWidget(pushButton);
    column->addLayout(head);

    frame = new QFrame(central);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* body = new QHBoxLayout(frame);
    indicator = new QOIndicator(frame);
    indicator->setObjectName(QStringLiteral("indicator"));
    body->addWidget(indicator, 1);
    auto* keys = new QVBoxLayout;
    keys->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    keypad = new QOInputDevice(frame);
    keypad->setObjectName(QStringLiteral("keypad"));
    keypad->setMaximumWidth(keypadMaxWidth_px);
    keys->addWidget(keypad);
    keys->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    body->addLayout(keys);
    column->addWidget(frame, 1);
    window->setCentralWidget(central);

    for (QWidget* widget : {static_cast<QWidget*>(indicator), static_cast<QWidget*>(keypad),
                            static_cast<QWidget*>(statusLabel), static_cast<QWidget*>(pushButton)})
        widget->setContextMenuPolicy(Qt::PreventContextMenu);

    actionSearch = makeAction(window, false);
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
    statusLabel->setText(tr("Сеанс не запущен"));
    pushButton->setToolTip(tr("Поиск устройств"));

    menuFile->setTitle(tr("Файл"));
    menuDisplay->setTitle(tr("Дисплей"));
    menuSettings->setTitle(tr("Настройки"));
    menuLanguage->setTitle(tr("Язык/Language"));
    menuHelp->setTitle(tr("Помощь"));

    actionSearch->setText(tr("Поиск устройств..."));
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
