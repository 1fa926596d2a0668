#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

// Reads the glyph map file in its own thread and hands its lines over by finishLoad. A
// missing file or name gives no signal.
class QOLoadMatrix : public QThread {
    Q_OBJECT

public:
    explicit QOLoadMatrix(QObject* parent = nullptr);

    // Set while the thread is not running.
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    QString fileName() const { return m_fileName; }

signals:
    void finishLoad(QStringList lines);

protected:
    void run() override;

private:
    QString m_fileName;
    QStringList m_lines;
};
