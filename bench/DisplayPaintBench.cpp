// Time to bring a full change of a 4 x 20 screen onto the display: the four rows delivered,
// the view refreshed and the places painted.
#include "app/display/QOIndicator.h"

#include <QApplication>
#include <QTableView>
#include <QTest>

#include <benchmark/benchmark.h>

#include <array>

namespace {
using Screen = std::array<QByteArray, 4>;

Screen screenOf(char first)
{
    Screen screen;
    for (int row = 0; row < 4; ++row) {
        QByteArray text(20, ' ');
        for (int column = 0; column < 20; ++column)
            text[column] = static_cast<char>(first + (row * 20 + column) % 26);
        screen[row] = text;
    }
    return screen;
}

// Codes with glyphs are copied as cached images; without the standard set, letters are text.
void paintFullScreenChange(benchmark::State& state, bool standardSet)
{
    QOIndicator indicator;
    indicator.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    indicator.setDisplaySize(4, 20);
    indicator.setSymbolMatrixSize(5, 8);
    if (!QTest::qWaitFor([&] { return !indicator.lines().isEmpty(); }, 5000)) {
        state.SkipWithError("the glyph map did not load");
        return;
    }
    if (standardSet)
        indicator.setStandartSymbolMatrix();
    QTest::qWait(50);
    QWidget* viewport = indicator.view()->viewport();
    const std::array<Screen, 2> screens = {screenOf('A'), screenOf('a')};

    std::size_t next = 0;
    for (auto _ : state) {
        const Screen& screen = screens[next];
        next = 1 - next;
        for (int row = 0; row < 4; ++row)
            indicator.setCells(row, 0, screen[row], 20);
        // Paints every place, as the display's next refresh would.
        viewport->repaint();
    }
    state.counters["dot_px"] = indicator.model().dotSize();
}

void BM_PaintFullScreenChange_Glyphs(benchmark::State& state)
{
    paintFullScreenChange(state, true);
}

void BM_PaintFullScreenChange_Text(benchmark::State& state)
{
    paintFullScreenChange(state, false);
}
} // namespace

BENCHMARK(BM_PaintFullScreenChange_Glyphs)->Args({400, 200})->Args({800, 400})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintFullScreenChange_Text)->Args({400, 200})->Args({800, 400})->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "default.debug=false");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
