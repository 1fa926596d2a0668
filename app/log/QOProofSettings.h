#pragma once

#include <QWidget>

class QEvent;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The additional settings dialog: the write interval that each new connection uses
// as the gap ending a reply. It only proposes the value; the main window keeps it.
class QOProofSettings : public QWidget {
    Q_OBJECT

public:
    explicit QOProofSettings(QWidget* parent = nullptr);

    // The value the spin box shows; the main window sets it before each showing.
    int writeIntervalMs() const;
    void setWriteIntervalMs(int interval_ms);

signals:
    void setIntervalPacketWrite(int);

public slots:
    void applyClick();
    void cancelClick();

protected:
    void changeEvent(QEvent* e) override;

private:
    void retranslate();

    QGroupBox* group = nullptr;
    QLabel* intervalLabel = nullptr;
    QSpinBox* intervalBox = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
};
