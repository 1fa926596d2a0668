#include "baselib/platform/PlatformInit.h"
#include "baselib/plugins/InitializationItems.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

using KelBase::IInitializationItem;
using KelBase::KelPlatform;
using KelBase::KelPlatformInit;

namespace fs = std::filesystem;

int itemsAlive = 0;
int itemsMade = 0;
bool itemFails = false;

struct CountedItem : IInitializationItem {
    CountedItem()
    {
        ++itemsMade;
        if (itemFails)
            throw std::runtime_error("item failed");
        ++itemsAlive;
    }
    ~CountedItem() override { --itemsAlive; }
};

struct SecondCountedItem : CountedItem {};

class PlatformInitTest : public testing::Test {
protected:
    void SetUp() override
    {
        itemsAlive = 0;
        itemsMade = 0;
        itemFails = false;
    }

    KelBase::InitializationItemRegistration<CountedItem> firstRegistration;
    KelBase::InitializationItemRegistration<SecondCountedItem> secondRegistration;
    char* argv[1] = {nullptr};
};

TEST_F(PlatformInitTest, FirstUseSetsUpAndLastUseTearsDown)
{
    const fs::path executable = fs::read_symlink("/proc/self/exe");
    {
        const KelPlatformInit first(0, argv);
        EXPECT_EQ(itemsMade, 2);
        EXPECT_EQ(itemsAlive, 2);
        EXPECT_EQ(KelPlatform::appDirectory(), executable.parent_path().wstring());
        EXPECT_EQ(KelPlatform::executableFileName(), executable.filename().wstring());
        {
            const KelPlatformInit second(0, argv, L"other.conf");
            EXPECT_EQ(itemsMade, 2);
            EXPECT_EQ(KelPlatform::configFileName(), L"");
        }
        EXPECT_EQ(itemsAlive, 2);
        EXPECT_FALSE(KelPlatform::appDirectory().empty());
    }
    EXPECT_EQ(itemsAlive, 0);
    EXPECT_EQ(KelPlatform::appDirectory(), L"");
    EXPECT_EQ(KelPlatform::executableFileName(), L"");

    const KelPlatformInit again(0, argv);
    EXPECT_EQ(itemsMade, 4);
    EXPECT_EQ(itemsAlive, 2);
}

TEST_F(PlatformInitTest, FailedSetUpLeavesNothingInitialised)
{
    itemFails = true;
    EXPECT_THROW(KelPlatformInit(0, argv), std::runtime_error);
    EXPECT_EQ(KelPlatform::appDirectory(), L"");
    EXPECT_EQ(itemsAlive, 0);
    itemFails = false;
    const KelPlatformInit init(0, argv);
    EXPECT_EQ(itemsMade, 3);
    EXPECT_EQ(itemsAlive, 2);
}

TEST_F(PlatformInitTest, ConfigurationFileName)
{
    const fs::path executable = fs::read_symlink("/proc/self/exe");
    const std::wstring directory = executable.parent_path().wstring();
    {
        const KelPlatformInit init(0, argv, L"settings/my.conf");
        EXPECT_EQ(KelPlatform::configFileName(), directory + L"/settings/my.conf");
    }
    {
        const KelPlatformInit init(0, argv, L"/etc/vpanel.conf");
        EXPECT_EQ(KelPlatform::configFileName(), L"/etc/vpanel.conf");
    }
    fs::path beside = executable;
    beside += ".conf";
    fs::remove(beside);
    {
        const KelPlatformInit init(0, argv);
        EXPECT_EQ(KelPlatform::configFileName(), L"");
    }
    std::ofstream(beside).put('\n');
    {
        const KelPlatformInit init(0, argv);
        EXPECT_EQ(KelPlatform::configFileName(), beside.wstring());
    }
    fs::remove(beside);
}

} // namespace
