#include "app/display/QOIndicator.h"

#include "app/display/GlyphCache.h"
#include "app/display/QOSymbolDelegate.h"
#include "app/display/StandardGlyphs.h"

#include <QDebug>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>

#include <algorithm>

namespace {
const QRect initialViewGeometry(6, 6, 300, 300);
// Below these offsets the view is not centred but put at viewOffset_px.
constexpr int minCentredX_px = 3;
constexpr int minCentredY_px = 0;
constexpr int viewOffset_px = 6;
// Added to the indicator's minimum size, which is the display at a dot of 1 pixel.
constexpr int minimumMargin_px = 6;
constexpr int minimumDotStep_px = 3;
// The font fills the place's height less this share.
constexpr double fontHeightLoss = 0.3;
// Where the screen tells no refresh rate, or one no display has.
constexpr double defaultRefresh_hz = 60.0;
constexpr double minRefresh_hz = 20.0;
constexpr double maxRefresh_hz = 250.0;
} // namespace

QOIndicator::QOIndicator(QWidget* parent) : QWidget(parent), m_loader(std::make_unique<QOLoadMatrix>())
{
    StandardGlyphs::initResources();
    registerSymbolMatrixMetaType();

    m_view = new QTableView(this);
    m_view->setGeometry(initialViewGeometry);
    m_view->show();
    m_view->horizontalHeader()->hide();
    m_view->verticalHeader()->hide();
    // Places are a few pixels wide at small sizes; the style's minimum would stretch them.
    m_view->horizontalHeader()->setMinimumSectionSize(1);
    m_view->verticalHeader()->setMinimumSectionSize(1);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->setModel(&m_model);

    m_delegate = new QOSymbolDelegate(&m_model, this);
    m_view->setItemDelegate(m_delegate);

    QPalette palette = m_view->palette();
    palette.setBrush(QPalette::Base, QBrush(DisplayColours::ground(), Qt::SolidPattern));
    m_view->setPalette(palette);
    m_view->setFrameShape(QFrame::WinPanel);
    m_view->setFrameShadow(QFrame::Sunken);

    m_loader->setFileName(QString::fromLatin1(StandardGlyphs::mapFileName));
    connect(m_loader.get(), &QOLoadMatrix::finishLoad, this, &QOIndicator::inputLoadMatrix);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_refreshTimer, &QTimer::timeout, this, &QOIndicator::refreshView);

    show();
}

QOIndicator::~QOIndicator()
{
    m_loader->wait();
    // The view and the delegate use the model, which is destroyed before the children.
    delete m_view;
    delete m_delegate;
}

void QOIndicator::setDisplaySize(int rows, int columns)
{
    if (!m_model.setDisplaySize(rows, columns))
        return;
    relayout();
    emit contentChanged();
}

QStringList QOIndicator::text() const
{
    VPanel::Link::OwnGlyphTexts ownGlyphs;
    for (std::size_t code = 0; code < ownGlyphs.size(); ++code)
        if (m_deviceGlyphs.test(code))
            ownGlyphs[code] = VPanel::Link::glyphPlaceholder;
    QStringList rows;
    for (int row = 0; row < m_model.displayRows(); ++row) {
        std::vector<std::uint8_t> cells;
        for (int column = 0; column < m_model.displayColumns(); ++column)
            cells.push_back(static_cast<std::uint8_t>(m_model.cell(row, column)));
        rows << QString::fromStdString(VPanel::Link::rowText(cells, ownGlyphs));
    }
    return rows;
}

QImage QOIndicator::picture() const
{
    const QSize cell = m_model.cellSize();
    const QRect cells(QPoint(0, 0), QSize(cell.width() * m_model.displayColumns(), cell.height() * m_model.displayRows()));
    return m_view->viewport()->grab(cells).toImage();
}

void QOIndicator::setCell(int row, int column, char symbol)
{
    if (m_model.setCell(row, column, symbol))
        scheduleRefresh();
}

void QOIndicator::setCells(int rows, int start, QByteArray symbols, int count)
{
    if (m_model.setCells(rows, start, symbols, count))
        scheduleRefresh();
}

void QOIndicator::setSymbolMatrix(char symbol, SymbolMatrix matr)
{
    if (!m_model.setSymbolMatrix(symbol, matr))
        return;
    m_deviceGlyphs.set(static_cast<unsigned char>(symbol));
    scheduleRefresh();
}

void QOIndicator::deleteSymbolMatrix(char index)
{
    m_deviceGlyphs.reset(static_cast<unsigned char>(index));
    if (m_model.deleteSymbolMatrix(index))
        scheduleRefresh();
}

void QOIndicator::setSymbolMatrixSize(int columns, int rows)
{
    m_standardSizeMatched = columns == StandardGlyphs::columns && rows == StandardGlyphs::rows;
    m_model.setMatrixSize(columns, rows);
    m_loader->start(QThread::InheritPriority);
}

void QOIndicator::reset()
{
    m_resetPending = true;
    requestRefresh();
}

void QOIndicator::showGridTable()
{
    m_view->setShowGrid(!m_view->showGrid());
}

void QOIndicator::setBackgroundElement()
{
    m_model.toggleDrawEmptyElements();
    reset();
}

void QOIndicator::setStandartSymbolMatrix()
{
    if (!m_standardSizeMatched)
        return;
    if (m_standardSymbolsOn) {
        for (int code = StandardGlyphs::firstCode; code <= StandardGlyphs::lastCode; ++code)
            if (!StandardGlyphs::isSignCode(code))
                m_model.deleteSymbolMatrix(static_cast<char>(code));
        m_standardSymbolsOn = false;
    } else {
        m_standardSymbolsOn = true;
        for (int code = StandardGlyphs::firstCode; code <= StandardGlyphs::lastCode; ++code)
            installStandardGlyph(code);
    }
    reset();
}

void QOIndicator::inputLoadMatrix(QStringList list)
{
    m_lines = std::move(list);
    relayout();
    for (int code = StandardGlyphs::firstSignCode; code <= StandardGlyphs::lastSignCode; ++code)
        installStandardGlyph(code);
    scheduleRefresh();
}

void QOIndicator::resizeEvent(QResizeEvent* event)
{
    relayout();
    qDebug().nospace() << "Old " << event->oldSize() << " New " << event->size();
}

void QOIndicator::installStandardGlyph(int code)
{
    if (const auto glyph = StandardGlyphs::glyphFor(m_lines, code))
        m_model.setSymbolMatrix(static_cast<char>(code), *glyph);
}

void QOIndicator::relayout()
{
    if (m_model.hasMatrixSize() && m_model.displayRows() > 0 && m_model.displayColumns() > 0) {
        m_model.computeDotSize(size());
        const QSize cell = m_model.cellSize();
        applyGeometry(cell, QSize(m_model.displayColumns() * cell.width(), m_model.displayRows() * cell.height()));
    }
    m_model.markGlyphsStale();
}

void QOIndicator::applyGeometry(const QSize& cell, const QSize& total)
{
    const int border = m_view->lineWidth() + 1;
    m_view->horizontalHeader()->setDefaultSectionSize(cell.width());
    m_view->verticalHeader()->setDefaultSectionSize(cell.height());
    m_view->resize(total.width() + 2 * border, total.height() + 2 * border);

    QFont font(QStringLiteral("lcdface"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(std::max(1, static_cast<int>(cell.height() - cell.height() * fontHeightLoss)));
    m_view->setFont(font);

    const int spacing = m_model.spacing();
    setMinimumSize(
        (m_model.matrixColumns() * minimumDotStep_px + 2 * spacing - 1) * m_model.displayColumns() + minimumMargin_px,
        (m_model.matrixRows() * minimumDotStep_px + 2 * spacing - 1) * m_model.displayRows() + minimumMargin_px);

    int x = (width() - m_view->width()) / 2;
    int y = (height() - m_view->height()) / 2;
    if (x <= minCentredX_px)
        x = viewOffset_px;
    if (y <= minCentredY_px)
        y = viewOffset_px;
    m_view->move(x, y);
}

void QOIndicator::scheduleRefresh()
{
    emit contentChanged();
    requestRefresh();
}

void QOIndicator::requestRefresh()
{
    if (m_refreshTimer.isActive())
        return;
    const std::chrono::milliseconds period = framePeriod();
    const std::chrono::milliseconds since(m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : period.count());
    m_refreshTimer.start(std::max(std::chrono::milliseconds(0), period - since));
}

void QOIndicator::refreshView()
{
    m_sinceRefresh.start();
    if (m_resetPending) {
        m_resetPending = false;
        m_model.resetModel();
    } else {
        m_model.refresh();
    }
}

std::chrono::milliseconds QOIndicator::framePeriod() const
{
    const QScreen* shown = screen();
    const double rate_hz = shown ? shown->refreshRate() : 0.0;
    const double usable_hz = rate_hz >= minRefresh_hz && rate_hz <= maxRefresh_hz ? rate_hz : defaultRefresh_hz;
    return std::chrono::milliseconds(static_cast<long>(1000.0 / usable_hz));
}
