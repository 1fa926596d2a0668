#include "app/keypad/QOInputButton.h"

#include <QIcon>
#include <QMetaType>
#include <QMouseEvent>

QOInputButton::QOInputButton(const QVariant& content, int code, QWidget* parent)
    : QPushButton(parent), code(code)
{
    if (content.typeId() == QMetaType::QString)
        setText(content.toString());
    else if (content.typeId() == QMetaType::QIcon)
        setIcon(content.value<QIcon>());
}

void QOInputButton::lockButton()
{
    emit lockedButton();
}

void QOInputButton::touchButton()
{
    if (isChecked())
        return;
    emit pressed();
    setDown(true);
}

void QOInputButton::releaseButton()
{
    if (isChecked())
        return;
    emit released();
    setDown(false);
}

int QOInputButton::codeButton() const
{
    return code;
}

void QOInputButton::mousePressEvent(QMouseEvent* pe)
{
    if (pe->buttons() & Qt::RightButton) {
        emit lockedButton();
        return;
    }
    // Pressing a locked key sends its code again: the device may want the press repeated.
    emit pressed();
    setDown(true);
}

void QOInputButton::mouseReleaseEvent(QMouseEvent* pe)
{
    // The right button only toggles the lock; its release is not a key release.
    if (pe->button() == Qt::RightButton || isChecked())
        return;
    emit released();
    setDown(false);
}
