#include "app/display/QOSymbolDelegate.h"

#include "app/display/QOSymbolModel.h"
#include "app/display/StandardGlyphs.h"

#include <QPainter>
#include <QTextCodec>

namespace {
constexpr int hintSize_px = 12;
}

QOSymbolDelegate::QOSymbolDelegate(QOSymbolModel* model, QObject* parent)
    : QAbstractItemDelegate(parent), m_model(model), m_codec(QTextCodec::codecForName("Windows-1251"))
{
}

void QOSymbolDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const char code = static_cast<char>(index.data(Qt::DisplayRole).toInt());
    if (const QPixmap* image = m_model->glyphImage(code)) {
        painter->drawPixmap(option.rect.topLeft(), *image);
        return;
    }
    if (m_model->drawEmptyElements())
        if (const QPixmap* ground = m_model->glyphImage(StandardGlyphs::blankCode))
            painter->drawPixmap(option.rect.topLeft(), *ground);
    const QString text = m_codec ? m_codec->toUnicode(&code, 1) : QString(QLatin1Char(code));
    painter->save();
    painter->setPen(QPen(Qt::SolidLine));
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignHCenter | Qt::AlignVCenter, text);
    painter->restore();
}

QSize QOSymbolDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {hintSize_px, hintSize_px};
}
