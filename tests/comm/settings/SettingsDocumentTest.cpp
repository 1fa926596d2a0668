#include "SettingsTestSupport.h"

#include "comm/serial/SerialExceptions.h"
#include "s11n/XmlDocument.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace KelComm::Serial;
using namespace SettingsTest;
namespace fs = std::filesystem;

std::string documentOf(const CommSettings& settings)
{
    std::ostringstream out;
    EXPECT_TRUE(s11n::save(settings, out));
    return out.str();
}

// Runs the settings tool with these arguments and gives its exit status (-1: it did not
// run or did not exit).
int runTool(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words{SETTINGS_TOOL};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, SETTINGS_TOOL, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ScratchFolder {
public:
    ScratchFolder()
        : m_path(fs::temp_directory_path() / ("comm_settings_test." + std::to_string(getpid())))
    {
        fs::create_directories(m_path);
    }
    ~ScratchFolder() { fs::remove_all(m_path); }
    fs::path operator/(const char* name) const { return m_path / name; }

private:
    fs::path m_path;
};

TEST(SettingsDocument, WrittenByOneProcessReadByAnotherGivesEqualSettings)
{
    const ScratchFolder folder;
    const std::vector<std::vector<std::string>> cases = {
        {"9600", "8", "2", "0", "1", "3"},
        {"921600", "5", "4", "1", "2", "2"},
        {"75", "7", "0", "1", "0", "0"},
    };
    for (const std::vector<std::string>& values : cases) {
        std::vector<std::string> write{"write", (folder / "line.xml").string()};
        write.insert(write.end(), values.begin(), values.end());
        ASSERT_EQ(runTool(write), 0);
        ASSERT_EQ(runTool({"read", (folder / "line.xml").string(), (folder / "values.txt").string()}), 0);

        std::ifstream in(folder / "values.txt");
        std::vector<std::string> read(7);
        for (std::string& word : read)
            in >> word;
        std::vector<std::string> expected = values;
        expected.push_back("1");
        EXPECT_EQ(read, expected) << "the last one counts the changed signals";
    }
}

TEST(SettingsDocument, BrokenDocumentsFailWithTheirTextAndChangeNothing)
{
    using Failure = std::function<std::wstring(std::function<void()>)>;
    const Failure nodeFailure = failureOf<s11n::s11n_exception, std::function<void()>>;
    const Failure notFound =
        failureOf<KelBase::StringResourceAccess::ResourceNotFoundException, std::function<void()>>;
    const Failure outOfRange = failureOf<CommSettingsException, std::function<void()>>;
    struct Case {
        std::string from, to;
        Failure failure;
        std::wstring text;
    };
    const std::vector<Case> cases = {
        {"class=\"KelComm::Serial::CommSettings\"", "class=\"KelComm::Serial::CommTimeouts\"", nodeFailure,
         L"Incorrect node class KelComm::Serial::CommTimeouts, KelComm::Serial::CommSettings required"},
        {"<property name=\"v\">Even</property>", "", nodeFailure, enumValueMissingText},
        {"<property name=\"v\">9600</property>", "", nodeFailure, numberValueMissingText},
        {">Even<", ">even<", notFound, notFoundText},
        {">Toggle<", ">Toggle <", notFound, notFoundText},
        {">8<", ">9<", outOfRange, byteSizeText},
        {">9600<", ">50<", outOfRange, baudRateText},
        {">9600<", ">1000000<", outOfRange, baudRateText},
    };
    const std::string good = documentOf(
        CommSettings(9600, 8, Parity::Even, StopBits::One, DTR_Control::Enable, RTS_Control::Toggle));
    for (const Case& c : cases) {
        std::string document = good;
        const std::size_t at = document.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from << " in\n" << good;
        document.replace(at, c.from.size(), c.to);

        CommSettings settings(4800, 7, Parity::Odd, StopBits::Two);
        const auto before = valuesOf(settings);
        const ChangeCounter<CommSettings> counter(settings);
        std::istringstream in(document);
        EXPECT_EQ(c.failure([&] { s11n::load(in, settings); }), c.text) << c.from << " -> " << c.to;
        EXPECT_EQ(valuesOf(settings), before);
        EXPECT_EQ(counter.count, 0);
    }
}

TEST(SettingsDocument, ADocumentWithoutAChildLoadsNothing)
{
    std::string document = documentOf(CommSettings(9600, 8, Parity::Even));
    const std::size_t begin = document.find("<node name=\"rtsControl\"");
    ASSERT_NE(begin, std::string::npos) << document;
    const std::size_t end = document.find("</node>", begin) + std::string("</node>").size();
    document.erase(begin, end - begin);

    CommSettings settings(4800);
    const ChangeCounter<CommSettings> counter(settings);
    std::istringstream in(document);
    EXPECT_FALSE(s11n::load(in, settings));
    EXPECT_EQ(settings.baudRate(), 4800);
    EXPECT_EQ(counter.count, 0);
}

} // namespace
