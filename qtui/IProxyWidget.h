#pragma once

#include "qtui/Export.h"

#include <QObject>

class QWidget;

namespace KelBase::QtUI {

// A page that a container window shows and accepts on the user's behalf: the page
// says through the signals whether it can be accepted now and whether it wants to
// stay visible, and the container calls accept() when the user confirms.
class KELQT_EXPORT IProxyWidget : public QObject {
    Q_OBJECT

public:
    explicit IProxyWidget(QObject* parent = nullptr);

    // The widget the container embeds; owned by the implementation.
    virtual QWidget* widget() = 0;
    virtual bool canAccept() const = 0;
    virtual bool keepVisible() const = 0;

signals:
    void canAcceptChanged(bool value);
    void keepVisibleChanged(bool value);

public slots:
    virtual void accept() = 0;
};

} // namespace KelBase::QtUI
