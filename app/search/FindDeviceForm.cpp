#include "app/search/FindDeviceForm.h"

#include "app/search/QOBList.h"
#include "panel/BusRanges.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr QSize selectIconSize{45, 45};
constexpr QSize deviceIconSize{58, 20};

template <class T>
T* named(QWidget* parent, const char* name)
{
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

void FindDeviceForm::setup(QWidget* window)
{
    label = named<QLabel>(window, "label");
    boxCom = named<QComboBox>(window, "boxCom");
    label_2 = named<QLabel>(window, "label_2");
    boxSpeed = named<QComboBox>(window, "boxSpeed");
    label_3 = named<QLabel>(window, "label_3");
    boxAddresBegin = named<QComboBox>(window, "boxAddresBegin");
    label_4 = named<QLabel>(window, "label_4");
    boxAddresEnd = named<QComboBox>(window, "boxAddresEnd");
    findButton = named<QPushButton>(window, "findButton");
    stopButton = named<QPushButton>(window, "stopButton");
    quickBox = named<QCheckBox>(window, "quickBox");
    stopAtFirstBox = named<QCheckBox>(window, "stopAtFirstBox");
    groupBox = named<QGroupBox>(window, "groupBox");
    infoView = named<QOBList>(groupBox, "infoView");
    progressBar = named<QProgressBar>(groupBox, "progressBar");
    progressLabel = named<QLabel>(groupBox, "progressLabel");
    pushButton_2 = named<QToolButton>(groupBox, "pushButton_2");
    newTabButton = named<QToolButton>(groupBox, "newTabButton");
    pushButton = named<QPushButton>(window, "pushButton");
    groupBox_2 = named<QGroupBox>(window, "groupBox_2");
    infoView_2 = named<QListWidget>(groupBox_2, "infoView_2");

    // Each label beside its box: the port and the rate, then the begin and end address.
    auto* choices = new QGridLayout;
    choices->addWidget(label, 0, 0);
    choices->addWidget(boxCom, 0, 1);
    choices->addWidget(label_2, 0, 2);
    choices->addWidget(boxSpeed, 0, 3);
    choices->addWidget(findButton, 0, 4);
    choices->addWidget(label_3, 1, 0);
    choices->addWidget(boxAddresBegin, 1, 1);
    choices->addWidget(label_4, 1, 2);
    choices->addWidget(boxAddresEnd, 1, 3);
    choices->addWidget(stopButton, 1, 4);
    choices->addWidget(quickBox, 2, 0, 1, 2);
    choices->addWidget(stopAtFirstBox, 2, 2, 1, 2);
    label->setBuddy(boxCom);
    label_2->setBuddy(boxSpeed);
    label_3->setBuddy(boxAddresBegin);
    label_4->setBuddy(boxAddresEnd);

    auto* found = new QGridLayout(groupBox);
    found->addWidget(infoView, 0, 0, 1, 2);
    found->addWidget(progressBar, 1, 0);
    found->addWidget(pushButton_2, 1, 1);
    found->addWidget(newTabButton, 2, 1);
    found->addWidget(progressLabel, 2, 0);

    auto* detailsRow = new QHBoxLayout;
    detailsRow->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    detailsRow->addWidget(pushButton);
    detailsRow->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

    auto* details = new QVBoxLayout(groupBox_2);
    details->addWidget(infoView_2);

    auto* outer = new QGridLayout(window);
    outer->addLayout(choices, 0, 0);
    outer->addWidget(groupBox, 1, 0, 2, 1);
    outer->addLayout(detailsRow, 3, 0);
    outer->addWidget(groupBox_2, 4, 0);

    for (int address = VPanel::Panel::firstAddress; address <= VPanel::Panel::lastAddress; ++address) {
        boxAddresBegin->addItem(QString::number(address));
        boxAddresEnd->addItem(QString::number(address));
    }
    for (const int rate : VPanel::Panel::baudRates)
        boxSpeed->addItem(QString::number(rate));
    // "All rates"; the window gives its text.
    boxSpeed->addItem(QString());

    infoView->setIconSize(deviceIconSize);
    // Addresses asked out of addresses to ask, over all ports of the search.
    progressBar->setFormat(QStringLiteral("%v / %m"));
    progressBar->setValue(0);
    progressBar->hide();
    progressLabel->hide();
    pushButton_2->setIcon(QIcon(QStringLiteral(":/Resources/connectr.png")));
    pushButton_2->setIconSize(selectIconSize);
    pushButton_2->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    newTabButton->setIcon(QIcon(QStringLiteral(":/Resources/connectr.png")));
    newTabButton->setIconSize(selectIconSize);
    newTabButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    stopButton->setEnabled(false);
    groupBox_2->hide();
}
