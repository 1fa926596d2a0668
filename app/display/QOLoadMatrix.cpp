#include "app/display/QOLoadMatrix.h"

#include <QFile>

QOLoadMatrix::QOLoadMatrix(QObject* parent) : QThread(parent) {}

void QOLoadMatrix::run()
{
    if (m_fileName.isEmpty())
        return;
    QFile file(m_fileName);
    // Binary mode: the lines keep their CR, which sits in a field that is never read.
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    emit finishLoad(m_lines);
}
