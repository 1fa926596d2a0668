#pragma once

#include "app/window/UnwaitedOutput.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdio>

class QEvent;
class QOIndicator;
class QWidget;

// What a panel without a screen to look at shows of itself.

// Whether the program runs where nobody sees its window: on a platform without a screen, or
// with --print-display, whose user watches the terminal.
bool runsHeadless(bool printDisplay);

// A warning for standard error in place of a box nobody would see or close.
void printWarning(QWidget* parent, const QString& title, const QString& text);

// Prints the display's rows, after a line with the time, each time they change; a batch of
// changes delivered together prints once.
class DisplayPrinter : public QObject {
    Q_OBJECT

public:
    DisplayPrinter(QOIndicator& indicator, std::FILE* out);

signals:
    // The reader of the output has gone (a pipe closed); said once.
    void outputClosed();

private slots:
    void schedulePrint();
    void print();

private:
    QOIndicator& m_indicator;
    UnwaitedOutput m_output;
    QStringList m_printed;
    bool m_pending = false;
};

// Saves the window as a PNG as it closes, while it still shows the connected panel.
class ClosingSnapshot : public QObject {
    Q_OBJECT

public:
    ClosingSnapshot(QWidget& window, QString path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    QString m_path;
    bool m_saved = false;
};
