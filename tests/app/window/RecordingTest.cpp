// The window recording its line, the simulator replaying it, and the display exported.

#include "tests/app/window/WindowFixture.h"

#include "app/display/GlyphCache.h"
#include "app/display/QOIndicator.h"
#include "app/keypad/QOInputDevice.h"
#include "link/Keys.h"
#include "link/Packet.h"
#include "sim/Recording.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>

#include <algorithm>
#include <memory>
#include <vector>

namespace WindowTest {
namespace {

using VPanel::Link::Key::Enter;
using VPanel::Link::Key::Escape;
using VPanel::Link::Key::F1;
using VPanel::Link::Key::F2;

constexpr std::uint16_t exchangeCommand = VPanel::Link::Command::Exchange;
constexpr int digitFiveButton = 10;
constexpr int digitFiveKey = VPanel::Link::Key::Digit0 + 5;
constexpr auto replayWait = 60s;

class RecordingTest : public WindowFixture {
protected:
    QString recordingPath() const { return directory.filePath(QStringLiteral("exchange.txt")); }

    // Ends the live connection and its recording, and puts a replay of it in the device's place.
    // Each recorded read goes out in one write, unpaced, so that a loaded machine cannot cut it
    // into two reads as it may a reply paced byte by byte.
    void replayRecording()
    {
        controller.reset();
        simulator.reset();
        VPanel::Sim::SimulatorOptions options;
        options.pace = false;
        options.replay = std::make_shared<VPanel::Sim::Replay>(VPanel::Sim::Recording::read(
            recordingPath().toStdString()));
        simulate(std::move(options));
    }

    // A new window on the replay, every text its display shows collected as it changes.
    void connectToReplay()
    {
        QOIndicator* indicator = window().ui().indicator;
        QObject::connect(indicator, &QOIndicator::contentChanged, indicator, [this, indicator] {
            const QStringList text = indicator->text();
            if (replayed.empty() || replayed.back() != text)
                replayed.push_back(text);
        });
        window().setParam(portName(), 1, baudRate);
        ASSERT_TRUE(waitFor([&] { return simulator->replayLeft(exchangeCommand) == 0; }, replayWait))
            << simulator->replayLeft(exchangeCommand) << " exchange replies not replayed";
    }

    QStringList errorReports() const { return logTexts().filter(QStringLiteral("Ошибка")); }

    std::vector<QStringList> replayed;
};

TEST_F(RecordingTest, ARecordedConnectionReplaysTheSameScreens)
{
    window().setSaveFileChooser([this](QWidget*, const QString&, const QString&) { return recordingPath(); });
    window().ui().actionRecord->trigger();
    ASSERT_TRUE(window().ui().actionRecord->isChecked());
    connectWindow();
    QOIndicator* indicator = controller->ui().indicator;
    std::vector<QStringList> steps{indicator->text()};
    if (!controller->ui().keypad->statusNumpad())
        controller->ui().keypad->hideShowVirtualClaviature();
    struct Step {
        int button;
        int key;
        bool mainScreen; // whose live rows 1 and 2 are not compared
    };
    // The menu, the setpoint typed in, back to the main screen and the buzzer on.
    const Step plan[] = {{Button::F1, F1, false},           {Button::Enter, Enter, false},
                         {digitFiveButton, digitFiveKey, false}, {Button::Enter, Enter, false},
                         {Button::Esc, Escape, true},       {Button::F2, F2, true}};
    std::vector<int> keys;
    for (const Step& step : plan) {
        click(step.button, step.key);
        keys.push_back(step.key);
        const VPanel::Sim::Firmware::Screen screen = expectedScreen(keys);
        ASSERT_TRUE(waitFor([&] {
            return step.mainScreen ? displayRow(0) == rowOf(screen, 0) && displayRow(3) == rowOf(screen, 3)
                                   : displayShows(screen);
        })) << "key " << step.key << ": " << indicator->text().join(QLatin1Char('|')).toStdString();
        steps.push_back(indicator->text());
    }

    replayRecording();
    connectToReplay();
    // The last reply is handed out before the window has read and shown it.
    std::size_t shown = 0;
    const auto replayedInOrder = [&] {
        auto seen = replayed.begin();
        for (shown = 0; shown < steps.size(); ++shown) {
            seen = std::find(seen, replayed.end(), steps[shown]);
            if (seen == replayed.end())
                return false;
        }
        return true;
    };
    EXPECT_TRUE(waitFor(replayedInOrder)) << "not replayed in order: step " << shown << ", "
                                          << steps[std::min(shown, steps.size() - 1)].join(QLatin1Char('|')).toStdString();
}

TEST_F(RecordingTest, CorruptedRepliesReplayCorruptedAndAreReportedAsLive)
{
    ASSERT_TRUE(window().startRecording(recordingPath()));
    connectWindow();
    // Once polling, where a spoilt reply costs one repeat and never the connection.
    VPanel::Sim::Faults corrupt;
    corrupt.corruptProbability = 0.05;
    simulator->setFaults(corrupt);
    constexpr std::uint64_t corruptions = 4;
    ASSERT_TRUE(waitFor([&] { return simulator->busCounters().corrupted >= corruptions; }, 30s))
        << logTexts().join(QLatin1Char('|')).toStdString();
    // A clean stretch before the recording ends, so that no report is on its way as it stops.
    simulator->setFaults({});
    const std::uint64_t polls = requests(exchangeCommand);
    ASSERT_TRUE(waitFor([&] { return requests(exchangeCommand) > polls + 20; }));
    controller->stopRecording();
    const QStringList live = errorReports();
    ASSERT_GE(live.size(), static_cast<int>(corruptions) - 1) << live.join(QLatin1Char('|')).toStdString();

    replayRecording();
    connectToReplay();
    // Each live report comes back in order. A loaded machine may cut one more read short on
    // either side, with a report of its own, so the replay may have one the live run had not.
    const auto reportedAsLive = [&] {
        const QStringList replayed = errorReports();
        auto next = replayed.begin();
        for (const QString& report : live) {
            next = std::find(next, replayed.end(), report);
            if (next++ == replayed.end())
                return false;
        }
        return true;
    };
    EXPECT_TRUE(waitFor(reportedAsLive))
        << "live: " << live.join(QLatin1Char('|')).toStdString()
        << "\nreplayed: " << errorReports().join(QLatin1Char('|')).toStdString();
}

TEST_F(RecordingTest, AFullDiskStopsTheRecordingButNotTheLink)
{
    ASSERT_TRUE(window().startRecording(QStringLiteral("/dev/full")));
    connectWindow();
    ASSERT_TRUE(waitFor([&] { return !warnings.isEmpty(); }));
    EXPECT_TRUE(warnings.first().second.contains(QStringLiteral("/dev/full"))) << warnings.first().second.toStdString();
    EXPECT_FALSE(controller->ui().actionRecord->isChecked());
    EXPECT_EQ(controller->recorder(), nullptr);
    const std::uint64_t polls = requests(exchangeCommand);
    EXPECT_TRUE(waitFor([&] { return requests(exchangeCommand) > polls + 10; }));
    EXPECT_TRUE(controller->isConnected());
}

TEST_F(RecordingTest, CopiedAndSavedScreenShowTheDisplay)
{
    connectWindow();
    QORemoteController& panel = window();
    const QOSymbolModel& model = panel.ui().indicator->model();
    ASSERT_TRUE(waitFor([&] { return model.glyphs().contains(0); }));
    // The dialog's name without the extension gets it.
    panel.setSaveFileChooser([this](QWidget*, const QString&, const QString&) {
        return directory.filePath(QStringLiteral("screen"));
    });

    // In one turn of the event loop, so that the display cannot change in between.
    panel.ui().actionCopyScreen->trigger();
    panel.ui().actionSaveScreen->trigger();
    const VPanel::Sim::Firmware::Screen main = expectedScreen({});
    const QStringList rows{QString(QOIndicator::glyphPlaceholder) + fromDevice(rowOf(main, 0)).mid(1),
                           fromDevice(displayRow(1)), fromDevice(displayRow(2)), fromDevice(rowOf(main, 3))};
    const SymbolMatrix pulse = *model.glyphs().matrix(0);
    const int dot = model.dotSize();
    const QSize cell = model.cellSize();

    EXPECT_EQ(QApplication::clipboard()->text(), rows.join(QLatin1Char('\n')));
    const QImage saved(directory.filePath(QStringLiteral("screen.png")));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(cell.width() * 20, cell.height() * 4));
    EXPECT_EQ(QApplication::clipboard()->image().size(), saved.size());
    const int step = dot + GlyphStyle::dotGap_px;
    for (int column = 0; column < pulse.columns(); ++column)
        for (int row = 0; row < pulse.rows(); ++row) {
            const QColor centre = saved.pixelColor(GlyphStyle::dotLeft_px + column * step + dot / 2,
                                                   GlyphStyle::dotTop_px + row * step + dot / 2);
            EXPECT_EQ(centre.lightness() < 128, pulse.isLit(column, row)) << "dot " << column << ", " << row;
        }
}

} // namespace
} // namespace WindowTest
