#pragma once

#include "app/display/QOLoadMatrix.h"
#include "app/display/QOSymbolModel.h"
#include "app/display/SymbolMatrix.h"
#include "link/DisplayText.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <bitset>
#include <chrono>
#include <memory>

class QOSymbolDelegate;
class QResizeEvent;
class QTableView;

// The device's character display: a grid of places, each drawn as a matrix of round dots
// from the glyph of its code, or as the character itself where there is no glyph.
//
// Every accepted change of a place or a glyph, and every reset, is followed by one refresh of
// the view, at most one per refresh period of the screen: in the next pass of the event loop
// when the last refresh is that long ago, else when the period is over. A batch of changes
// delivered by queued signals thus reaches the screen whatever order its parts arrive in, and
// a device that changes its rows faster than the screen shows them costs one paint a frame.
class QOIndicator : public QWidget {
    Q_OBJECT

public:
    explicit QOIndicator(QWidget* parent = nullptr);
    ~QOIndicator() override;

    const QOSymbolModel& model() const { return m_model; }
    QTableView* view() const { return m_view; }
    const QStringList& lines() const { return m_lines; }
    bool standardSymbolsOn() const { return m_standardSymbolsOn; }

    // Stands in the text for a place drawn from a glyph of the device's own.
    static inline const QString glyphPlaceholder = QString::fromUtf8(VPanel::Link::glyphPlaceholder);
    // The rows as Unicode text, one line per row, places with a glyph the device sent shown
    // as glyphPlaceholder.
    QStringList text() const;
    // The display as drawn, without the frame around it.
    QImage picture() const;

signals:
    // A place or a glyph changed; sent at once, before the view is refreshed.
    void contentChanged();

public slots:
    void setDisplaySize(int rows, int columns);
    void setCell(int row, int column, char symbol);
    // `rows` is the row index; the first `count` bytes of `symbols` go to columns from
    // `start` on. The bytes travel by value, so the sender may reuse its buffer at once.
    void setCells(int rows, int start, QByteArray symbols, int count);
    void setSymbolMatrix(char symbol, SymbolMatrix matr);
    void deleteSymbolMatrix(char index);
    // Takes the glyph size and reloads the glyph map file; the result arrives in inputLoadMatrix.
    void setSymbolMatrixSize(int columns, int rows);
    // Tells the view, with the next refresh, that every place may look different.
    void reset();
    void showGridTable();
    void setBackgroundElement();
    void setStandartSymbolMatrix();
    void inputLoadMatrix(QStringList list);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();
    void applyGeometry(const QSize& cell, const QSize& total);
    void installStandardGlyph(int code);
    // Announces a change, then asks for a refresh.
    void scheduleRefresh();
    void requestRefresh();
    void refreshView();
    std::chrono::milliseconds framePeriod() const;

    QStringList m_lines;
    QOSymbolModel m_model;
    QTableView* m_view = nullptr;
    QOSymbolDelegate* m_delegate = nullptr;
    bool m_standardSymbolsOn = false;
    bool m_standardSizeMatched = false;
    bool m_resetPending = false;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    std::unique_ptr<QOLoadMatrix> m_loader;
    // Codes whose glyph came from the device rather than the standard set.
    std::bitset<256> m_deviceGlyphs;
};
