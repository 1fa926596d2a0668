#pragma once

#include <QListWidget>

class QResizeEvent;

// The list of found devices; it tells when its size changes, so that the busy animation
// shown over it can be kept centred.
class QOBList : public QListWidget {
    Q_OBJECT

public:
    explicit QOBList(QWidget* parent = nullptr);

signals:
    void sizeRe();

protected:
    void resizeEvent(QResizeEvent* event) override;
};
