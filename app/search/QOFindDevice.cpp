#include "app/search/QOFindDevice.h"

#include "app/search/QOBList.h"
#include "app/search/PortWatcher.h"
#include "app/search/QOIdentifyThread.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace {

constexpr QSize busySize{50, 50};
// Qt::UserRole tells a found device from a message line.
constexpr int deviceValue = 1;
constexpr int messageValue = 0;
// The FoundDevice of a device's line.
constexpr int foundDeviceRole = Qt::UserRole + 1;

const char* const errorIcon = ":/Resources/on.ico";
const char* const deviceIcon = ":/Resources/device.png";
const char* const attentionStyle = "background-color:#FF3300;";

// A stored index the box no longer has (fewer ports than before) selects the first entry.
void restoreIndex(QComboBox* box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0);
}

} // namespace

QOFindDevice::QOFindDevice(QWidget* parent)
    : QOFindDevice(parent, VPanel::installedFileCandidates(QString::fromLatin1(VPanel::dictionaryFileName)))
{
}

QOFindDevice::QOFindDevice(QWidget* parent, const QStringList& dictionaryPaths) : QWidget(parent, Qt::Dialog)
{
    form.setup(this);
    readDictionary(dictionaryPaths);
    readPorts();
    showChoices(SearchChoices::read());
    retranslate();

    connect(form.infoView, &QListWidget::itemDoubleClicked, this, &QOFindDevice::selected);
    connect(form.infoView, &QOBList::sizeRe, this, &QOFindDevice::rachet_Label);
    QMetaObject::connectSlotsByName(this);
    connect(this, &QOFindDevice::stop, &scan, &ScanRun::stop);
    connect(&scan, &ScanRun::alarm, this, &QOFindDevice::alarms);
    connect(&scan, &ScanRun::notice, this, [this](const QString& text) { addMessage(form.infoView_2, text); });
    connect(&scan, &ScanRun::found, this, &QOFindDevice::addDevice);
    connect(&scan, &ScanRun::progressChanged, this, &QOFindDevice::showProgress);
    connect(&scan, &ScanRun::ended, this, &QOFindDevice::finish);

    busyLabel = new QLabel(form.infoView);
    busyLabel->setObjectName(QStringLiteral("busyLabel"));
    busyLabel->setMovie(&busyMovie);
    busyLabel->setScaledContents(true);
    busyLabel->resize(busySize);
    busyLabel->hide();
    rachet_Label();
}

void QOFindDevice::readDictionary(const QStringList& paths)
{
    if (const auto read = VPanel::readDeviceDictionary(paths)) {
        dictionary = *read;
        return;
    }
    // Names are then never shown, only identifiers.
    const QString text = tr("Отсутствует или недоступен файл словаря идентификаторов.");
    form.infoView_2->addItem(new QListWidgetItem(QIcon(QString::fromLatin1(errorIcon)), text));
    markDetails();
}

void QOFindDevice::readPorts()
{
    form.boxCom->addItem(tr("Все порты"));
    // The port map's ports stay choosable when the kernel's table cannot be read, as on a
    // machine whose device tree has no serial class at all; the failure is told once.
    const PortChoices choices = readPortChoices();
    showPorts(choices);
    if (!choices.failure.isEmpty())
        alarms(choices.failure);
    portWatcher = new PortWatcher(this);
    connect(portWatcher, &PortWatcher::changed, this, &QOFindDevice::followPorts);
}

void QOFindDevice::followPorts()
{
    PortChoices choices = readPortChoices();
    portsChangedWhileScanning = false;
    if (scan.running()) {
        for (const QString& name : std::as_const(ports)) {
            if (!choices.contains(name)) {
                choices.insert(PortChoice{name, portLabels.value(name)});
                portsChangedWhileScanning = true;
            }
        }
    }
    showPorts(choices);
}

void QOFindDevice::showPorts(const PortChoices& choices)
{
    const QString current = form.boxCom->currentData().toString();
    ports.clear();
    connectedPorts.clear();
    portLabels.clear();
    while (form.boxCom->count() > 1)
        form.boxCom->removeItem(1);
    for (const PortChoice& port : choices.ports) {
        ports << port.name;
        if (port.connected)
            connectedPorts << port.name;
        portLabels.insert(port.name, port.label);
        form.boxCom->addItem(port.label, port.name);
    }
    const int kept = form.boxCom->findData(current);
    if (!current.isEmpty() && kept > 0)
        form.boxCom->setCurrentIndex(kept);
}

void QOFindDevice::showChoices(const SearchChoices& choices)
{
    restoreIndex(form.boxCom, choices.portIndex);
    restoreIndex(form.boxAddresBegin, choices.beginIndex);
    restoreIndex(form.boxAddresEnd, choices.endIndex);
    restoreIndex(form.boxSpeed, choices.speedIndex);
    form.quickBox->setChecked(choices.quick);
    form.stopAtFirstBox->setChecked(choices.stopAtFirst);
}

SearchChoices QOFindDevice::choices() const
{
    SearchChoices choices;
    choices.portIndex = form.boxCom->currentIndex();
    choices.beginIndex = form.boxAddresBegin->currentIndex();
    choices.endIndex = form.boxAddresEnd->currentIndex();
    choices.speedIndex = form.boxSpeed->currentIndex();
    choices.quick = form.quickBox->isChecked();
    choices.stopAtFirst = form.stopAtFirstBox->isChecked();
    return choices;
}

void QOFindDevice::retranslate()
{
    setWindowTitle(tr("Поиск устройств"));
    form.label->setText(tr("COM порт"));
    form.label_2->setText(tr("Скорость передачи"));
    form.label_3->setText(tr("Начальный адрес"));
    form.label_4->setText(tr("Конечный адрес"));
    form.findButton->setText(tr("Начать поиск"));
    form.stopButton->setText(tr("Остановить"));
    form.groupBox->setTitle(tr("Найденные устройства"));
    form.pushButton_2->setText(tr("Выбрать устройство"));
    form.newTabButton->setText(tr("В новой вкладке"));
    form.pushButton->setText(tr("Подробности"));
    form.groupBox_2->setTitle(tr("Подробности"));
    form.boxCom->setItemText(0, tr("Все порты"));
    form.boxSpeed->setItemText(form.boxSpeed->count() - 1, tr("Все скорости"));
    form.quickBox->setText(tr("Быстрый поиск"));
    form.stopAtFirstBox->setText(tr("До первого устройства"));
}

void QOFindDevice::on_findButton_clicked()
{
    deviceFound = false;
    searchDone = false;
    form.findButton->setEnabled(false);
    form.stopButton->setEnabled(true);
    const SearchChoices chosen = choices();
    chosen.write();
    form.infoView->clear();
    form.infoView_2->clear();
    busyLabel->show();
    busyMovie.start();

    ScanPlan plan;
    plan.beginAddress = form.boxAddresBegin->currentText().toInt();
    plan.endAddress = form.boxAddresEnd->currentText().toInt();
    plan.bauds = chosenBauds();
    plan.quick = chosen.quick;
    plan.stopAtFirst = chosen.stopAtFirst;
    if (plan.endAddress < plan.beginAddress)
        addMessage(form.infoView, tr("Некорректный начальный адрес (не может быть больше конечного)"));

    plan.ports = chosen.portIndex != 0 ? QStringList{form.boxCom->currentData().toString()} : connectedPorts;
    for (const QString& port : std::as_const(portsInUse))
        if (plan.ports.removeAll(port) > 0)
            addMessage(form.infoView, tr("Порт %1 занят открытым устройством, поиск на нём не ведётся").arg(port));
    if (plan.ports.isEmpty() && chosen.portIndex != 0) {
        form.progressBar->hide();
        stopAnimation();
        return;
    }
    if (plan.ports.isEmpty()) {
        addMessage(form.infoView, tr("Не найдено ни одного COM порта."));
        form.progressBar->hide();
        stopAnimation();
        return;
    }
    form.progressBar->show();
    form.progressLabel->show();
    scan.start(plan);
}

QList<int> QOFindDevice::chosenBauds() const
{
    const int allRatesIndex = form.boxSpeed->count() - 1;
    if (form.boxSpeed->currentIndex() != allRatesIndex)
        return {form.boxSpeed->currentText().toInt()};
    // Fast rates cost least per address, so a device found early saves the most.
    QList<int> bauds;
    for (int index = allRatesIndex - 1; index >= 0; --index)
        bauds << form.boxSpeed->itemText(index).toInt();
    return bauds;
}

QOIdentifyThread* QOFindDevice::createThread() { return new QOIdentifyThread; }

void QOFindDevice::showProgress()
{
    // A range of 0..0 would turn the bar into a busy indicator; the animation is that already.
    const SearchProgress& progress = scan.progress();
    form.progressBar->setRange(0, std::max(progress.total(), 1));
    form.progressBar->setValue(progress.done());
    form.progressLabel->setText(progress.text());
}

void QOFindDevice::on_stopButton_clicked() { emit stop(); }

void QOFindDevice::on_pushButton_clicked()
{
    form.groupBox_2->setVisible(form.groupBox_2->isHidden());
    form.pushButton->setStyleSheet(QString());
}

void QOFindDevice::on_pushButton_2_clicked()
{
    if (!form.infoView->selectedItems().isEmpty())
        selected(form.infoView->currentItem());
}

void QOFindDevice::on_newTabButton_clicked()
{
    if (!form.infoView->selectedItems().isEmpty())
        choose(form.infoView->currentItem(), true);
}

void QOFindDevice::alarms(QString text)
{
    auto* item = new QListWidgetItem(QIcon(QString::fromLatin1(errorIcon)), tr("Ошибка: %1 ").arg(text));
    item->setData(Qt::UserRole, messageValue);
    form.infoView_2->addItem(item);
    markDetails();
}

void QOFindDevice::addDevice(QString port, QSize info)
{
    deviceFound = true;
    const int address = info.width();
    const int identifier = info.height();
    const int baud = scan.baudOf(port);
    const auto name = dictionary.constFind(identifier);
    QString line = name != dictionary.cend() ? tr("%1 адрес %2 %3").arg(port, QString::number(address), *name)
                                             : tr("%1 адрес %2 Идентификатор устройства: %3")
                                                   .arg(port, QString::number(address), QString::number(identifier));
    // A search at one rate found everything at that rate; the line stays as it always was.
    if (scan.plan().bauds.size() != 1)
        line += tr(" (%1 бод)").arg(baud);
    auto* item = new QListWidgetItem(QIcon(QString::fromLatin1(deviceIcon)), line);
    item->setData(Qt::UserRole, deviceValue);
    item->setData(foundDeviceRole, QVariant::fromValue(FoundDevice{port, address, baud}));
    form.infoView->addItem(item);
}

void QOFindDevice::finish()
{
    stopAnimation();
    if (portsChangedWhileScanning)
        followPorts();
    if (deviceFound) {
        addMessage(form.infoView_2, tr("Поиск окончен, выберите устройство для соединения..."));
        searchDone = true;
    } else {
        addMessage(form.infoView, tr("Поиск окончен, устройств не найдено!"));
    }
}

void QOFindDevice::selected(QListWidgetItem* item)
{
    choose(item, false);
}

void QOFindDevice::choose(QListWidgetItem* item, bool newTab)
{
    if (!item || item->data(Qt::UserRole).toInt() == messageValue || !searchDone)
        return;
    const QVariant device = item->data(foundDeviceRole);
    if (!device.canConvert<FoundDevice>()) {
        addMessage(form.infoView_2, tr("Критическая ошибка, некорректная работа программы."));
        return;
    }
    const auto chosen = device.value<FoundDevice>();
    if (newTab)
        emit openInNewTab(chosen.port, chosen.address, chosen.baud);
    else
        emit setParam(chosen.port, chosen.address, chosen.baud);
    close();
}

void QOFindDevice::stopAnimation()
{
    form.progressLabel->hide();
    busyMovie.stop();
    busyLabel->hide();
    form.findButton->setEnabled(true);
    form.stopButton->setEnabled(false);
}

void QOFindDevice::addMessage(QListWidget* list, const QString& text)
{
    auto* item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, messageValue);
    list->addItem(item);
}

void QOFindDevice::markDetails() { form.pushButton->setStyleSheet(QString::fromLatin1(attentionStyle)); }

void QOFindDevice::rachet_Label()
{
    if (!busyLabel)
        return;
    busyLabel->move((form.infoView->width() - busyLabel->width()) / 2,
                    (form.infoView->height() - busyLabel->height()) / 2);
}

void QOFindDevice::closeEvent(QCloseEvent* event)
{
    emit stop();
    QWidget::closeEvent(event);
}

void QOFindDevice::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    rachet_Label();
}

void QOFindDevice::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
