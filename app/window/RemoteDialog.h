#pragma once

#include "app/remote/RemoteChoice.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

// "Remote device": the broker, its CA file for TLS, the gateway's site and device, the user
// and password, and whether to remember them. Accepted only with an address that is fine.
class RemoteDialog : public QDialog {
    Q_OBJECT

public:
    RemoteDialog(const RemoteChoice& initial, QWidget* parent = nullptr);

    RemoteChoice choice() const;
    QLineEdit* passwordEdit() const { return m_password; }

public slots:
    void accept() override;

private:
    void chooseCaFile();

    QLineEdit* m_broker = nullptr;
    QLineEdit* m_caFile = nullptr;
    QLineEdit* m_site = nullptr;
    QLineEdit* m_device = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    QCheckBox* m_rememberPassword = nullptr;
    QLabel* m_error = nullptr;
};
