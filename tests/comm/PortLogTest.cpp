#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Wide lines written straight to std::wclog would orient standard error wide, and every
// narrow write after them would vanish.
TEST(PortLog, LinesLeaveTheProgramsNarrowWritesWorking)
{
    FILE* probe = ::popen("KELCOMM_PORTS_DIR=/nonexistent " KEL_PORT_LOG_PROBE " 2>&1", "r");
    ASSERT_NE(probe, nullptr);
    std::string output;
    char buffer[256];
    while (const std::size_t size = std::fread(buffer, 1, sizeof buffer, probe))
        output.append(buffer, size);
    EXPECT_EQ(::pclose(probe), 0) << output;

    const auto opening = output.find("Открытие порта");
    const auto failure = output.find("при открытии порта");
    ASSERT_NE(opening, std::string::npos) << output;
    ASSERT_NE(failure, std::string::npos) << output;
    EXPECT_EQ(output.rfind("before\n", opening), 0u) << output;
    EXPECT_NE(output.find("\nrefused\nafter\n", failure), std::string::npos) << output;
}

} // namespace
