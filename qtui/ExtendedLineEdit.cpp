#include "qtui/ExtendedLineEdit.h"

#include <QKeyEvent>
#include <QMetaType>
#include <QPalette>

namespace KelBase::QtUI {

ExtendedLineEdit::ExtendedLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    qRegisterMetaType<ExtendedLineEdit*>("KelBase::QtUI::ExtendedLineEdit*");
    connect(this, &QLineEdit::textEdited, this, &ExtendedLineEdit::clearErrorByEdit);
}

void ExtendedLineEdit::setError(const QString& errorText)
{
    QPalette shown = palette();
    shown.setColor(QPalette::Text, Qt::red);
    setPalette(shown);
    setToolTip(errorText);
}

void ExtendedLineEdit::clearError()
{
    QPalette shown = palette();
    shown.setColor(QPalette::Text, QPalette().color(QPalette::Text));
    setPalette(shown);
    setToolTip(QString());
}

void ExtendedLineEdit::clearErrorByEdit(const QString&)
{
    emit clearErrorStatus();
    clearError();
}

void ExtendedLineEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QString cleared;
    emit clearErrorStatus(&cleared);
    clearError();
    setText(QString());
}

} // namespace KelBase::QtUI
