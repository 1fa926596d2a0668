#include "app/window/PanelUi.h"

#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
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

} // namespace

void PanelUi::setupUi(QWidget* panel)
{
    auto* column = new QVBoxLayout(panel);

    auto* head = new QHBoxLayout;
    statusLabel = makeHeadLabel(panel);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    deviceLabel = makeHeadLabel(panel);
    deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    pushButton = new QPushButton(panel);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    // Shared by every panel, as the keypad's icons are, so that its cached pixmaps are too.
    static const QIcon searchIcon(QStringLiteral(":/Resources/binoculars.ico"));
    pushButton->setIcon(searchIcon);
    pushButton->setIconSize(searchIconSize);
    pushButton->setMaximumSize(searchButtonMaxSize);
    head->addWidget(statusLabel);
    head->addWidget(deviceLabel);
    head->addWidget(pushButton);
    column->addLayout(head);
    remoteLabel = new QLabel(panel);
    remoteLabel->setObjectName(QStringLiteral("remoteLabel"));
    remoteLabel->setWordWrap(true);
    remoteLabel->hide();
    column->addWidget(remoteLabel);

    frame = new QFrame(panel);
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

    for (QWidget* widget : {static_cast<QWidget*>(indicator), static_cast<QWidget*>(keypad),
                            static_cast<QWidget*>(statusLabel), static_cast<QWidget*>(pushButton)})
        widget->setContextMenuPolicy(Qt::PreventContextMenu);
    retranslateUi();
}

void PanelUi::retranslateUi()
{
    statusLabel->setText(tr("Сеанс не запущен"));
    pushButton->setToolTip(tr("Поиск устройств"));
}
