#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QCloseEvent;
class QEvent;
class QListWidget;
class QMoveEvent;
class QPushButton;
class QResizeEvent;
class QTime;

// The journal window: time-stamped lines of the link's events, which the user can
// copy or save. It snaps to the sides of the main window and then follows it.
class LogWidget : public QWidget {
    Q_OBJECT

public:
    // Asks for the name of the file to save to; an empty name means cancelled.
    using FileNameChooser = std::function<QString(QWidget* parent, const QString& caption,
                                                  const QString& directory, const QString& filter)>;

    // How close (pixels) the window must come to a side of the main window to snap.
    static constexpr int snapDistance = 20;
    // The journal keeps its last lines only, so that a long run on a noisy line does not
    // grow without end; a recording of the line holds the whole story.
    static constexpr int maxLines = 10000;

    explicit LogWidget(QWidget* parent = nullptr);

    // The journal line for text at that time: the text, a blank and the time.
    static QString journalLine(const QString& text, const QTime& time);

    // The journal's lines; the first says how many older ones were dropped, once some were.
    QListWidget* lines() const { return list; }
    int droppedLines() const { return dropped; }
    bool following() const { return follow; }
    // Replaces the standard file dialog (tests drive saving without a modal dialog).
    void setFileNameChooser(FileNameChooser chooser);

signals:
    void needMove();
    void setOnOff(bool);

public slots:
    void position(QPoint newPosition, QSize newSize);
    void inputData(const QString& text);
    void inputData(const QStringList& texts);
    void clearAll();
    void setPrilip(bool on);
    void setPrilip();
    void calculation();
    void copySelected();
    void saveLogAs();
    void closeClick();

protected:
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void retranslate();
    void warnNotWritten(const QString& fileName);
    // Drops the oldest lines past maxLines and says in the first line how many went, with
    // `skipped` lines that were never added.
    void dropOldest(int skipped = 0);
    QString droppedText() const;

    QListWidget* list = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* closeButton = nullptr;
    FileNameChooser chooseFileName;
    int dropped = 0;
    bool follow = false;
    QPoint mainPosition;
    QSize mainSize;
    // Main window position minus our own, kept while following.
    int offsetX = 0;
    int offsetY = 0;
};
