#pragma once

#include <QAbstractItemDelegate>

class QOSymbolModel;
class QTextCodec;

// Paints one display place: the glyph's dot image when the code has a glyph, otherwise the
// character itself in the view's font (over a ground of unlit dots when those are drawn).
class QOSymbolDelegate : public QAbstractItemDelegate {
    Q_OBJECT

public:
    QOSymbolDelegate(QOSymbolModel* model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The real place size comes from the header sections.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QOSymbolModel* m_model;
    QTextCodec* m_codec;
};
