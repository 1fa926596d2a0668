#include "baselib/platform/Conversion.h"
#include "sim/Recording.h"
#include "sim/SimErrors.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

namespace {

using namespace VPanel::Sim;

const std::string longestLine(Recording::Limits{}.lineLength, '0');

std::string says(const SimulatorException& error) { return KelBase::Conversion::stringToUTF8(error.message()); }

TEST(RecordingTest, AWrongLineIsRefusedByNameUnlessItIsTheLastAndThenSkippedWithAWarning)
{
    struct Case {
        std::string text;
        const wchar_t* says;
        bool refused = true;
    };
    const Case cases[] = {
        {"# vpanel\n1.000 <- 01 13 00\n2.000 => 01\n3.000 <- 01 13 00\n", L"строка 3: нет направления"},
        {"1.000 <- 01 13 00\n2.000 -> 01 1G\n3.000 -> 01\n", L"строка 2: байт кадра"},
        {"1.000 <- 01 13 00\n12:00:01.5 -> 01\n# end: stopped\n", L"строка 2: время кадра"},
        {"2.000 <- 01 13 00\n1.000 -> 01\n\n3.000 -> 01\n", L"строка 2: время кадра раньше"},
        {"1.000 <- 01\n2.000 <- 01 13 00\n", L"строка 1: запрос короче"},
        {"# only a header\n", L"нет ни одного кадра"},
        // Out of range, however far: never taken for a stamp earlier than the one above.
        {"1e300 <- 01 13 00\n2.000 <- 01 13 00\n", L"строка 1: время кадра вне пределов"},
        {"1.000 <- 01 13 00\n1e13 -> 01\n1e14 -> 01\n", L"строка 2: время кадра вне пределов"},
        {"-1.000 <- 01 13 00\n1.000 <- 01 13 00\n", L"строка 1: время кадра вне пределов"},
        // Shown without what could steer a terminal, and only its start.
        {"\x1b]0;x\x07\x9b" "2J <- 01 13 00\n2.000 <- 01 13 00\n", L"строка 1: время кадра не в миллисекундах: ?]0;x??2J"},
        {std::string(40, '9') + " <- 01 13 00\n2.000 <- 01 13 00\n", L"мс: 99999999999999999999999999999999..."},
        {"# write interval 100000000000000000 ms\n1.000 <- 01 13 00\n", L"строка 1: интервал записи"},
        // Refused as it is read, last or not.
        {"1.000 <- 01 13 00\n" + longestLine + "0\n", L"строка 2: строка длиннее"},
        {"1.000 <- 01 13 00\n" + longestLine + "\n2.000 <- 01 13 00\n", L"строка 2: нет направления"},
        // Cut short by a full disk or a crash.
        {"1.000 <- 01 13 00\n2.000 -> 01 02\n3.0", L"последняя строка 3 пропущена: нет направления", false},
        {"1.000 <- 01 13 00\n2.000 -> 01 0", L"последняя строка 2 пропущена: байт кадра", false},
        {"1.000 <- 01 13 00\n2.000 -> 01 02\n1\n\n", L"последняя строка 3 пропущена", false},
    };
    for (const Case& item : cases) {
        std::istringstream text(item.text);
        try {
            const Recording recording = Recording::parse(text, "r.txt");
            ASSERT_FALSE(item.refused) << item.text;
            ASSERT_EQ(recording.warnings().size(), 1u) << item.text;
            EXPECT_NE(KelBase::Conversion::stringFromUTF8(recording.warnings()[0]).find(item.says), std::wstring::npos)
                << recording.warnings()[0];
            ASSERT_EQ(recording.replies().size(), 1u) << item.text;
            EXPECT_EQ(recording.replies().begin()->second.size(), 1u) << item.text;
        } catch (const SimulatorException& error) {
            EXPECT_TRUE(item.refused) << item.text;
            EXPECT_NE(std::wstring(error.message()).find(item.says), std::wstring::npos) << says(error);
        }
    }
}

TEST(RecordingTest, EndlessInputIsRefusedAtItsBoundWithoutReadingOn)
{
    Recording::Limits small;
    small.fileSize = 1 << 20;
    small.frames = 1000;
    const std::size_t lineBound = small.lineLength + 1;
    struct Case {
        std::string pattern;
        const wchar_t* says;
        std::size_t bound;
    };
    const Case cases[] = {
        {"01 ", L"строка 1: строка длиннее", lineBound},
        {std::string(1, '\0'), L"строка 1: строка длиннее", lineBound},
        {"1.000 <- 01 13 00\n", L"больше 1000 кадров", 1001 * 18},
        {"\n", L"запись длиннее", small.fileSize + 1},
        {"# a comment\n", L"запись длиннее", small.fileSize + 12},
    };
    for (const Case& item : cases) {
        // Twice what any bound lets through stands for text that never ends.
        std::string repeated;
        while (repeated.size() < 2 * small.fileSize)
            repeated += item.pattern;
        std::istringstream text(repeated);
        try {
            Recording::parse(text, "endless", small);
            ADD_FAILURE() << item.pattern;
        } catch (const SimulatorException& error) {
            EXPECT_NE(std::wstring(error.message()).find(item.says), std::wstring::npos) << says(error);
        }
        const auto taken = text.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
        EXPECT_LE(static_cast<std::size_t>(taken), item.bound) << item.pattern;
    }
    const std::pair<const char*, const wchar_t*> files[] = {
        {"/dev/zero", L"строка 1: строка длиннее"},
        {".", L"Запись . не читается: "},
    };
    for (const auto& [path, said] : files) {
        try {
            Recording::read(path);
            ADD_FAILURE() << path << " read";
        } catch (const SimulatorException& error) {
            EXPECT_NE(std::wstring(error.message()).find(said), std::wstring::npos) << says(error);
        }
    }
}

} // namespace
