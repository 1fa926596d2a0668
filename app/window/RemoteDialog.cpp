#include "app/window/RemoteDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RemoteDialog::RemoteDialog(const RemoteChoice& initial, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Удалённое устройство"));
    auto* form = new QFormLayout;
    m_broker = new QLineEdit(initial.address.broker, this);
    m_broker->setPlaceholderText(QStringLiteral("mqtt://host:1883"));
    m_caFile = new QLineEdit(initial.credentials.caFile, this);
    auto* browse = new QPushButton(tr("Обзор..."), this);
    connect(browse, &QPushButton::clicked, this, &RemoteDialog::chooseCaFile);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(browse);
    m_site = new QLineEdit(initial.address.site, this);
    m_device = new QLineEdit(initial.address.device, this);
    m_user = new QLineEdit(initial.credentials.user, this);
    m_password = new QLineEdit(initial.credentials.password, this);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Брокер:"), m_broker);
    form->addRow(tr("Файл CA (для mqtts://):"), caRow);
    form->addRow(tr("Площадка:"), m_site);
    form->addRow(tr("Устройство:"), m_device);
    form->addRow(tr("Пользователь:"), m_user);
    form->addRow(tr("Пароль:"), m_password);

    m_remember = new QCheckBox(tr("Запомнить эти параметры"), this);
    m_remember->setChecked(initial.remember);
    m_rememberPassword =
        new QCheckBox(tr("Запомнить и пароль (он хранится открытым текстом в настройках на этом компьютере)"), this);
    m_rememberPassword->setChecked(initial.rememberPassword);
    m_rememberPassword->setEnabled(initial.remember);
    connect(m_remember, &QCheckBox::toggled, m_rememberPassword, [this](bool on) {
        m_rememberPassword->setEnabled(on);
        if (!on)
            m_rememberPassword->setChecked(false);
    });
    m_error = new QLabel(this);
    m_error->setWordWrap(true);
    m_error->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoteDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(m_remember);
    column->addWidget(m_rememberPassword);
    column->addWidget(m_error);
    column->addWidget(buttons);
}

RemoteChoice RemoteDialog::choice() const
{
    RemoteChoice choice;
    choice.address.broker = m_broker->text().trimmed();
    choice.address.site = m_site->text().trimmed();
    choice.address.device = m_device->text().trimmed();
    choice.credentials.caFile = m_caFile->text().trimmed();
    choice.credentials.user = m_user->text();
    choice.credentials.password = m_password->text();
    choice.remember = m_remember->isChecked();
    choice.rememberPassword = choice.remember && m_rememberPassword->isChecked();
    return choice;
}

void RemoteDialog::accept()
{
    const QString error = choice().address.error();
    if (!error.isEmpty()) {
        m_error->setText(error);
        m_error->show();
        return;
    }
    QDialog::accept();
}

void RemoteDialog::chooseCaFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Файл удостоверяющего центра"), m_caFile->text());
    if (!path.isEmpty())
        m_caFile->setText(path);
}
