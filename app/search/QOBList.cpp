#include "app/search/QOBList.h"

#include <QResizeEvent>

QOBList::QOBList(QWidget* parent) : QListWidget(parent) {}

void QOBList::resizeEvent(QResizeEvent* event)
{
    // The view must lay out its items for the new size as well.
    QListWidget::resizeEvent(event);
    emit sizeRe();
}
