#include "app/search/QOFindDevice.h"

#include "app/datafiles/ProgramSettings.h"
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
#include <QSettings>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

constexpr QSize busySize{50, 50};
constexpr int portColumn = 0;
constexpr int addressColumn = 2;
constexpr int deviceValue = 1;
constexpr int messageValue = 0;
// The rate a found device answered at.
constexpr int baudRole = Qt::UserRole + 1;

const char* const settingsGroup = "FindDevice";
const char* const comPortKey = "comPort";
const char* const beginKey = "addresBegin";
const char* const endKey = "addresEnd";
const char* const speedKey = "speed";
const char* const quickKey = "quickSearch";
const char* const stopAtFirstKey = "stopAtFirstDevice";

const char* const errorIcon = ":/Resources/on.ico";
const char* const deviceIcon = ":/Resources/device.png";
const char* const attentionStyle = "background-color:#FF3300;";

// A stored index the box no longer has (fewer ports than before) selects the first entry.
void restoreIndex(QComboBox* box, const QSettings& settings, const char* key)
{
    const int index = settings.value(QString::fromLatin1(key), 0).toInt();
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
    restoreChoices();
    retranslate();

    connect(form.infoView, &QListWidget::itemDoubleClicked, this, &QOFindDevice::selected);
    connect(form.infoView, &QOBList::sizeRe, this, &QOFindDevice::rachet_Label);
    QMetaObject::connectSlotsByName(this);

    busyLabel = new QLabel(form.infoView);
    busyLabel->setObjectName(QStringLiteral("busyLabel"));
    busyLabel->setMovie(&busyMovie);
    busyLabel->setScaledContents(true);
    busyLabel->resize(busySize);
    busyLabel->hide();
    rachet_Label();
}

QOFindDevice::~QOFindDevice()
{
    for (const QPointer<QOIdentifyThread>& thread : threads) {
        if (thread) {
            thread->stope();
            thread->wait();
            delete thread.data();
        }
    }
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
    if (runningCount > 0) {
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

void QOFindDevice::restoreChoices()
{
    const std::unique_ptr<QSettings> settings = VPanel::openProgramSettings();
    settings->beginGroup(QString::fromLatin1(settingsGroup));
    restoreIndex(form.boxCom, *settings, comPortKey);
    restoreIndex(form.boxAddresBegin, *settings, beginKey);
    restoreIndex(form.boxAddresEnd, *settings, endKey);
    restoreIndex(form.boxSpeed, *settings, speedKey);
    // Off unless chosen: the thorough scan of every address suits noisy lines.
    form.quickBox->setChecked(settings->value(QString::fromLatin1(quickKey), false).toBool());
    form.stopAtFirstBox->setChecked(settings->value(QString::fromLatin1(stopAtFirstKey), false).toBool());
}

void QOFindDevice::storeChoices() const
{
    const std::unique_ptr<QSettings> settings = VPanel::openProgramSettings();
    settings->beginGroup(QString::fromLatin1(settingsGroup));
    settings->setValue(QString::fromLatin1(comPortKey), form.boxCom->currentIndex());
    settings->setValue(QString::fromLatin1(beginKey), form.boxAddresBegin->currentIndex());
    settings->setValue(QString::fromLatin1(endKey), form.boxAddresEnd->currentIndex());
    settings->setValue(QString::fromLatin1(speedKey), form.boxSpeed->currentIndex());
    settings->setValue(QString::fromLatin1(quickKey), form.quickBox->isChecked());
    settings->setValue(QString::fromLatin1(stopAtFirstKey), form.stopAtFirstBox->isChecked());
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
    storeChoices();
    form.infoView->clear();
    form.infoView_2->clear();
    busyLabel->show();
    busyMovie.start();

    portIndex = form.boxCom->currentIndex();
    beginAddress = form.boxAddresBegin->currentText().toInt();
    endAddress = form.boxAddresEnd->currentText().toInt();
    const QList<int> bauds = chosenBauds();
    scanBaud = bauds.size() == 1 ? bauds.first() : 0;
    if (endAddress < beginAddress)
        addMessage(form.infoView, tr("Некорректный начальный адрес (не может быть больше конечного)"));

    runningCount = 0;
    progress.clear();
    threads.removeAll(nullptr);
    const QStringList scanPorts =
        portIndex != 0 ? QStringList{form.boxCom->currentData().toString()} : connectedPorts;
    if (scanPorts.isEmpty()) {
        addMessage(form.infoView, tr("Не найдено ни одного COM порта."));
        form.progressBar->hide();
        stopAnimation();
        return;
    }
    showProgress();
    form.progressBar->show();
    form.progressLabel->show();
    for (const QString& port : scanPorts)
        startThread(port, bauds);
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

void QOFindDevice::startThread(const QString& port, const QList<int>& bauds)
{
    QOIdentifyThread* thread = createThread();
    connect(thread, &QOIdentifyThread::alarm, this, &QOFindDevice::alarms);
    connect(thread, &QOIdentifyThread::notice, this, [this](const QString& text) { addMessage(form.infoView_2, text); });
    connect(thread, &QOIdentifyThread::add, this, &QOFindDevice::addDevice);
    connect(thread, &QOIdentifyThread::finish, this, &QOFindDevice::finish);
    connect(this, &QOFindDevice::stop, thread, &QOIdentifyThread::stope);
    connect(thread, &QOIdentifyThread::progress, this, [this, port](int done, int total) {
        progress.count(port, done, total);
        showProgress();
    });
    // Queued in the order sent, so the rate of a device is known when it is added.
    connect(thread, &QOIdentifyThread::scanning, this, [this, port](int baud, int address, int left_ms) {
        progress.locate(port, baud, address, left_ms);
        showProgress();
    });
    connect(thread, &QOIdentifyThread::finish, this, [this, port] {
        progress.finish(port);
        showProgress();
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->setScanPort(port);
    thread->setRange(beginAddress, endAddress);
    thread->setBauds(bauds);
    thread->setQuick(form.quickBox->isChecked());
    thread->setStopAtFirst(form.stopAtFirstBox->isChecked());
    progress.count(port, 0, QOIdentifyThread::addressCount(beginAddress, endAddress) * static_cast<int>(bauds.size()));
    threads << thread;
    thread->start(QThread::InheritPriority);
    ++runningCount;
    showProgress();
}

void QOFindDevice::showProgress()
{
    // A range of 0..0 would turn the bar into a busy indicator; the animation is that already.
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
    const int baud = scanBaud != 0 ? scanBaud : progress.baudOf(port);
    const auto name = dictionary.constFind(identifier);
    QString line = name != dictionary.cend() ? tr("%1 адрес %2 %3").arg(port, QString::number(address), *name)
                                             : tr("%1 адрес %2 Идентификатор устройства: %3")
                                                   .arg(port, QString::number(address), QString::number(identifier));
    // A search at one rate found everything at that rate; the line stays as it always was.
    if (scanBaud == 0)
        line += tr(" (%1 бод)").arg(baud);
    auto* item = new QListWidgetItem(QIcon(QString::fromLatin1(deviceIcon)), line);
    item->setData(Qt::UserRole, deviceValue);
    item->setData(baudRole, baud);
    form.infoView->addItem(item);
}

void QOFindDevice::finish()
{
    if (--runningCount > 0)
        return;
    runningCount = 0;
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
    if (!item || item->data(Qt::UserRole).toInt() == messageValue || !searchDone)
        return;
    const QStringList parts = item->text().split(QLatin1Char(' '), Qt::KeepEmptyParts);
    bool isNumber = false;
    const int address = parts.size() > addressColumn ? parts[addressColumn].toInt(&isNumber, 10) : 0;
    if (parts.size() < 4 || !isNumber) {
        addMessage(form.infoView_2, tr("Критическая ошибка, некорректная работа программы."));
        return;
    }
    emit setParam(parts[portColumn], address, item->data(baudRole).toInt());
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
