#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

// While alive, closes every modal message box that opens and remembers its title
// and text, so that a test never blocks on one.
class ModalWatcher {
public:
    ModalWatcher()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->windowTitle() + "|" + box->text();
                box->close();
            }
        });
        timer.start(10);
    }

    QStringList shown;

private:
    QTimer timer;
};

inline QPushButton* buttonWithText(const QWidget& parent, const QString& text)
{
    for (QPushButton* button : parent.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}
