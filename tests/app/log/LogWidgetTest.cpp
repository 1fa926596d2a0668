#include "LogTestHelpers.h"

#include "app/log/LogWidget.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTime>
#include <QTranslator>

#include <gtest/gtest.h>

#include <vector>

namespace {

QString russian(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(JournalLine, IsTheTextABlankAndTheTimeWithMillisecondsTwice)
{
    const struct {
        const char* text;
        QTime time;
        const char* line;
    } cases[] = {
        {"Звук вкл.", QTime(14, 7, 9, 5), "Звук вкл. 14:07:09.0055"},
        {"x", QTime(9, 5, 3, 42), "x 09:05:03.04242"},
        {"x", QTime(10, 0, 0, 420), "x 10:00:00.420420"},
        {"x", QTime(0, 0, 0, 0), "x 00:00:00.0000"},
        // Placeholders in the text stay text.
        {"50%1 %2", QTime(1, 2, 3, 4), "50%1 %2 01:02:03.0044"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(LogWidget::journalLine(russian(c.text), c.time), russian(c.line));
    }
}

TEST(LogWidgetLines, AppendStampedAndPlainLinesWithoutSelecting)
{
    LogWidget log;
    const QTime before = QTime::currentTime();
    log.inputData(russian("ПУ включена."));
    const QTime after = QTime::currentTime();
    log.inputData(QStringList{"plain one", "plain two"});

    ASSERT_EQ(log.lines()->count(), 3);
    const QRegularExpressionMatch stamp = QRegularExpression(
        russian("^ПУ включена\\. (\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d)\\d{1,3}$")).match(log.lines()->item(0)->text());
    ASSERT_TRUE(stamp.hasMatch());
    const QTime stamped = QTime::fromString(stamp.captured(1), "hh:mm:ss.zzz");
    EXPECT_TRUE(stamped >= before && stamped <= after);
    EXPECT_EQ(log.lines()->item(2)->text(), "plain two");
    EXPECT_EQ(log.lines()->currentRow(), -1);

    log.clearAll();
    EXPECT_EQ(log.lines()->count(), 0);
}

TEST(LogWidgetLines, KeepsItsLastLinesAndSaysFirstHowManyOlderWentDropped)
{
    constexpr int most = LogWidget::maxLines;
    struct Case {
        const char* name;
        std::vector<int> batches; // lines numbered on from 0; a batch of -1 is one stamped line
        int dropped;
    };
    const Case cases[] = {
        {"exactly full", {most}, 0},
        {"one stamped line over", {most, -1}, 1},
        {"one batch over", {most + 5}, 5},
        {"a batch of more than the journal holds after dropping some", {most, 1, 2 * most}, 2 * most + 1},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        LogWidget log;
        int next = 0;
        for (const int batch : item.batches) {
            QStringList lines;
            while (lines.size() < batch)
                lines << QString::number(next++);
            if (batch < 0)
                log.inputData(QString::number(next++));
            else
                log.inputData(lines);
        }
        const QListWidget& lines = *log.lines();
        const int notice = item.dropped > 0 ? 1 : 0;
        ASSERT_EQ(lines.count(), most + notice);
        EXPECT_EQ(log.droppedLines(), item.dropped);
        const auto number = [&](int row) { return lines.item(row)->text().section(QLatin1Char(' '), 0, 0).toInt(); };
        if (notice) {
            EXPECT_EQ(lines.item(0)->text(), russian("Более ранние строки журнала удалены: %1").arg(item.dropped));
        }
        EXPECT_EQ(number(notice), item.dropped);
        EXPECT_EQ(number(lines.count() - 1), next - 1);

        log.clearAll();
        log.inputData(QStringList{"after"});
        EXPECT_EQ(lines.count(), 1);
        EXPECT_EQ(log.droppedLines(), 0);
    }
}

TEST(LogWidgetCopy, CopiesTheCurrentLineOnly)
{
    LogWidget log;
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText("before");
    log.copySelected();
    log.inputData(QStringList{"first", "second"});
    log.copySelected();
    EXPECT_EQ(clipboard->text(), "before");

    log.lines()->setCurrentRow(1);
    log.copySelected();
    EXPECT_EQ(clipboard->text(), "second");
}

// A journal of three lines, saved to whatever name `chosen` holds.
class LogSaving : public ::testing::Test {
protected:
    LogSaving()
    {
        log.setFileNameChooser([this](QWidget*, const QString& caption, const QString& directory,
                                      const QString& filter) {
            asked << caption << directory << filter;
            return chosen;
        });
        log.inputData(QStringList{"one", "two", "three"});
    }

    QTemporaryDir dir;
    LogWidget log;
    QString chosen;
    QStringList asked;
    ModalWatcher boxes;
};

TEST_F(LogSaving, ReplacesTheFileWithEveryLineEndedByALineBreak)
{
    chosen = dir.filePath("journal.log");
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("older and much longer contents\n");
    file.close();

    log.saveLogAs();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "one\ntwo\nthree\n");
    EXPECT_EQ(log.lines()->currentRow(), 2);
    EXPECT_EQ(asked, QStringList({russian("Выберите имя файла"), "/home/", russian("Файлы лога(*.txt *.log)")}));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(LogSaving, CancelWritesNothingAndShowsNothing)
{
    log.saveLogAs();
    QApplication::processEvents();
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(LogSaving, FileThatCannotBeWrittenIsReported)
{
    // Not creatable, and creatable but failing on write (a full disk).
    for (const QString& name : {dir.filePath("missing/journal.log"), QString("/dev/full")}) {
        SCOPED_TRACE(name.toStdString());
        chosen = name;
        boxes.shown.clear();
        log.saveLogAs();
        EXPECT_EQ(boxes.shown, QStringList(russian("Ошибка записи.|Невозможно создать/перезаписать файл:\n %1").arg(name)));
    }
}

TEST(LogWidgetWindow, ClosingEitherWayTellsTheMainWindow)
{
    LogWidget log;
    QSignalSpy onOff(&log, &LogWidget::setOnOff);
    log.show();
    buttonWithText(log, russian("Закрыть"))->click();
    EXPECT_FALSE(log.isVisible());
    log.show();
    log.close();
    EXPECT_FALSE(log.isVisible());
    ASSERT_EQ(onOff.size(), 2);
    EXPECT_FALSE(onOff[0][0].toBool());
    EXPECT_FALSE(onOff[1][0].toBool());
}

class EnglishLog : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return QByteArray(context) == "LogWidget" && russian(source) == russian("Журнал") ? "Log window" : "";
    }
    bool isEmpty() const override { return false; }
};

TEST(LogWidgetWindow, RetranslatesOnALanguageChange)
{
    LogWidget log;
    EnglishLog english;
    QApplication::installTranslator(&english);
    QApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(log.windowTitle(), "Log window");

    QApplication::removeTranslator(&english);
    QApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(log.windowTitle(), russian("Журнал"));
}

} // namespace
