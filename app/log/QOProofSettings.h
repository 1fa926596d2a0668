#pragma once

#include <QWidget>

class QCheckBox;
class QEvent;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The additional settings dialog: the line timing each new connection uses. The write
// interval is the gap that ends a reply the connection cannot tell the end of; the pause
// before a request lets a device release the bus; and the connection may keep the write
// interval after every reply. It only proposes the values; the main window keeps them.
class QOProofSettings : public QWidget {
    Q_OBJECT

public:
    explicit QOProofSettings(QWidget* parent = nullptr);

    // The value the spin box shows; the main window sets it before each showing.
    int writeIntervalMs() const;
    void setWriteIntervalMs(int interval_ms);
    int requestPauseMs() const;
    void setRequestPauseMs(int pause_ms);
    bool intervalAfterReply() const;
    void setIntervalAfterReply(bool wait);

signals:
    void setIntervalPacketWrite(int);
    void setRequestTiming(int requestPause_ms, bool intervalAfterReply);

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
    QLabel* pauseLabel = nullptr;
    QSpinBox* pauseBox = nullptr;
    QCheckBox* afterReplyBox = nullptr;
    QLabel* nextConnectionLabel = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
};
