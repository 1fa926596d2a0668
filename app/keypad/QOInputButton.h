#pragma once

#include <QPushButton>
#include <QVariant>

class QMouseEvent;

// One key of the virtual keypad. It reports presses and releases itself (the push
// button's own click handling is bypassed) so that a key can be held and locked:
// a right press asks for the lock, and a locked (checked) key ignores releases.
class QOInputButton : public QPushButton {
    Q_OBJECT

public:
    // content: a QString becomes the text, a QIcon the icon. Code -1 marks a placeholder.
    QOInputButton(const QVariant& content, int code, QWidget* parent = nullptr);

signals:
    void lockedButton();

public slots:
    void lockButton();
    void touchButton();
    void releaseButton();
    int codeButton() const;

protected:
    void mousePressEvent(QMouseEvent* pe) override;
    void mouseReleaseEvent(QMouseEvent* pe) override;

private:
    int code = -1;
};
