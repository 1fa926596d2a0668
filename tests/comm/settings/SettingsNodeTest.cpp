#include "SettingsTestSupport.h"

#include "comm/serial/CommTimeouts.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/settings/SettingsTraits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using namespace KelComm::Serial;
using namespace SettingsTest;
using KelBase::StringResourceAccess;
using KelTime::TimeDuration;
using s11n::s11n_node;

s11n_node saved(const CommSettings& settings)
{
    s11n_node node;
    EXPECT_TRUE(s11n::serialize(node, settings));
    return node;
}

TEST(SettingsNode, LayoutIsSixChildrenInOrderWithClassesAndTexts)
{
    const s11n_node node = saved(CommSettings(9600, 8, Parity::Even, StopBits::One, DTR_Control::Enable,
                                              RTS_Control::Toggle));
    EXPECT_EQ(node.class_name(), "KelComm::Serial::CommSettings");
    EXPECT_TRUE(node.properties().empty());
    const std::vector<std::vector<std::string>> expected = {
        {"baudRate", "long", "9600"},
        {"byteSize", "int", "8"},
        {"parity", "KelComm::Serial::Parity", "Even"},
        {"stopBits", "KelComm::Serial::StopBits", "One"},
        {"dtrControl", "KelComm::Serial::DTR_Control", "Enable"},
        {"rtsControl", "KelComm::Serial::RTS_Control", "Toggle"},
    };
    ASSERT_EQ(node.child_count(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const s11n_node& child = node.child(index);
        EXPECT_EQ((std::vector<std::string>{child.name(), child.class_name(), child.get("v")}), expected[index]);
        EXPECT_EQ(child.properties().size(), 1u) << child.name();
    }
}

TEST(SettingsNode, EveryValueComesBackWithOneChangedSignal)
{
    const std::vector<CommSettings> cases = {
        CommSettings(9600, 8, Parity::Even, StopBits::One, DTR_Control::Enable, RTS_Control::Toggle),
        CommSettings(75, 5, Parity::None, StopBits::Two, DTR_Control::Disable, RTS_Control::Disable),
        CommSettings(921600, 7, Parity::Odd, StopBits::One, DTR_Control::Handshake, RTS_Control::Enable),
        CommSettings(115200, 6, Parity::Mark, StopBits::Two, DTR_Control::Enable, RTS_Control::Handshake),
        CommSettings(1200, 8, Parity::Space, StopBits::One, DTR_Control::Disable, RTS_Control::Toggle),
    };
    for (const CommSettings& original : cases) {
        CommSettings loaded;
        const ChangeCounter<CommSettings> counter(loaded);
        ASSERT_TRUE(s11n::deserialize(saved(original), loaded));
        EXPECT_EQ(valuesOf(loaded), valuesOf(original));
        EXPECT_EQ(counter.count, 1);
    }
}

TEST(SettingsNode, RangesAreCheckedBaudRateFirstAndNothingChanges)
{
    CommSettings settings(4800, 7, Parity::Odd);
    const auto before = valuesOf(settings);
    const ChangeCounter<CommSettings> counter(settings);

    s11n_node node = saved(CommSettings(9600, 8, Parity::Even));
    node.child(0).set("v", "921601");
    node.child(1).set("v", "9");
    EXPECT_EQ(failureOf<CommSettingsException>([&] { s11n::deserialize(node, settings); }), baudRateText);
    node.child(0).set("v", "74");
    EXPECT_EQ(failureOf<CommSettingsException>([&] { s11n::deserialize(node, settings); }), baudRateText);
    node.child(0).set("v", "9600");
    node.child(1).set("v", "4");
    EXPECT_EQ(failureOf<CommSettingsException>([&] { s11n::deserialize(node, settings); }), byteSizeText);
    EXPECT_EQ(valuesOf(settings), before);
    EXPECT_EQ(counter.count, 0);
}

TEST(SettingsNode, AMissingOrUnreadableChildGivesFalseAndChangesNothing)
{
    CommSettings settings(4800, 7, Parity::Odd);
    const auto before = valuesOf(settings);
    const ChangeCounter<CommSettings> counter(settings);
    const s11n_node complete = saved(CommSettings(9600, 8, Parity::Even));
    for (std::size_t dropped = 0; dropped < complete.child_count(); ++dropped) {
        s11n_node node(complete.name(), complete.class_name());
        for (std::size_t index = 0; index < complete.child_count(); ++index)
            if (index != dropped)
                node.add_child(complete.child(index));
        EXPECT_FALSE(s11n::deserialize(node, settings)) << "without " << complete.child(dropped).name();
    }
    for (const char* text : {"fast", "9600.0", "", "99999999999999999999", "+9600"}) {
        s11n_node node = complete;
        node.child(0).set("v", text);
        EXPECT_FALSE(s11n::deserialize(node, settings)) << text;
    }
    EXPECT_EQ(valuesOf(settings), before);
    EXPECT_EQ(counter.count, 0);
}

// A child holding another class, or a name given to two children, is not a value to
// guess from: the load throws and nothing changes.
TEST(SettingsNode, MisplacedOrRepeatedChildrenAreRefused)
{
    CommSettings settings(4800, 7, Parity::Odd);
    const auto before = valuesOf(settings);
    const ChangeCounter<CommSettings> counter(settings);
    const s11n_node complete = saved(CommSettings(9600, 8, Parity::Even));

    s11n_node parityAsBaudRate = complete;
    parityAsBaudRate.child(0) = complete.child(2);
    parityAsBaudRate.child(0).name("baudRate");
    s11n_node repeated = complete;
    repeated.add_child(complete.child(2)).set("v", "None");
    const std::pair<s11n_node, std::wstring> cases[] = {
        {parityAsBaudRate, L"Incorrect node class KelComm::Serial::Parity, long required"},
        {repeated, L"s11n: child 'parity' given more than once in node ''"},
    };
    for (const auto& [node, text] : cases)
        EXPECT_EQ(failureOf<s11n::s11n_exception>([&] { s11n::deserialize(node, settings); }), text);
    EXPECT_EQ(valuesOf(settings), before);
    EXPECT_EQ(counter.count, 0);
}

TEST(SettingsNode, AValueWithoutATextFailsTheSaveAndLeavesTheNode)
{
    s11n_node node("line", "kept");
    node.set("note", "kept");
    const s11n_node before = node;
    const CommSettings settings(9600, 8, Parity(7));
    EXPECT_EQ(failureOf<StringResourceAccess::ResourceNotFoundException>([&] { s11n::serialize(node, settings); }),
              L"Строковый ресурс nmsp::enumType с кодом 7 не найден");
    EXPECT_EQ(node, before);
}

TEST(SettingsNode, SavingAgainReplacesTheEarlierContent)
{
    s11n_node node("line");
    ASSERT_TRUE(s11n::serialize(node, CommSettings(9600)));
    ASSERT_TRUE(s11n::serialize(node, CommSettings(57600)));
    EXPECT_EQ(node.name(), "line");
    EXPECT_EQ(node.child_count(), 6u);
    CommSettings loaded;
    ASSERT_TRUE(s11n::deserialize(node, loaded));
    EXPECT_EQ(loaded.baudRate(), 57600);
}

TEST(TimeoutsNode, DurationsComeBackExactlyWithOneChangedSignal)
{
    const std::vector<std::pair<TimeDuration, TimeDuration>> cases = {
        {TimeDuration::infinity(), TimeDuration::infinity()},
        {TimeDuration::fromMilliseconds(20), TimeDuration::null()},
        {TimeDuration::fromSeconds(1.0 / 3.0), TimeDuration::fromMilliseconds(1)},
        {TimeDuration::fromDays(std::numeric_limits<double>::denorm_min()), TimeDuration::fromDays(1e300)},
    };
    for (const auto& [response, interval] : cases) {
        s11n_node node;
        ASSERT_TRUE(s11n::serialize(node, CommTimeouts(response, interval)));
        EXPECT_EQ(node.class_name(), "KelComm::Serial::CommTimeouts");
        ASSERT_EQ(node.child_count(), 2u);
        EXPECT_EQ(node.child(0).name(), "responseTimeout");
        EXPECT_EQ(node.child(1).name(), "intervalTimeout");
        EXPECT_EQ(node.child(1).class_name(), "KelTime::TimeDuration");

        CommTimeouts loaded(TimeDuration::fromDays(5), TimeDuration::fromDays(6));
        const ChangeCounter<CommTimeouts> counter(loaded);
        ASSERT_TRUE(s11n::deserialize(node, loaded));
        TimeDuration loadedResponse, loadedInterval;
        loaded.getReadTimeouts(loadedResponse, loadedInterval);
        EXPECT_EQ(loadedResponse.days(), response.days());
        EXPECT_EQ(loadedInterval.days(), interval.days());
        EXPECT_EQ(counter.count, 1);
    }
}

TEST(TimeoutsNode, FailedLoadsChangeNothing)
{
    CommTimeouts timeouts(TimeDuration::fromDays(5), TimeDuration::fromDays(6));
    const ChangeCounter<CommTimeouts> counter(timeouts);
    s11n_node node;
    ASSERT_TRUE(s11n::serialize(node, CommTimeouts(TimeDuration::fromDays(1), TimeDuration::fromDays(2))));

    s11n_node wrongClass = node;
    wrongClass.class_name("KelComm::Serial::CommSettings");
    EXPECT_EQ(failureOf<s11n::s11n_exception>([&] { s11n::deserialize(wrongClass, timeouts); }),
              L"Incorrect node class KelComm::Serial::CommSettings, KelComm::Serial::CommTimeouts required");
    s11n_node noValue = node;
    noValue.child(1).unset("v");
    EXPECT_EQ(failureOf<s11n::s11n_exception>([&] { s11n::deserialize(noValue, timeouts); }),
              numberValueMissingText);
    for (const char* text : {"nan", "-nan", "soon", "", "-1e-9", "-inf"}) {
        s11n_node notANumber = node;
        notANumber.child(1).set("v", text);
        EXPECT_FALSE(s11n::deserialize(notANumber, timeouts)) << text;
    }
    s11n_node oneChild(node.name(), node.class_name());
    oneChild.add_child(node.child(0));
    EXPECT_FALSE(s11n::deserialize(oneChild, timeouts));

    TimeDuration response, interval;
    timeouts.getReadTimeouts(response, interval);
    EXPECT_EQ(response.days(), 5.0);
    EXPECT_EQ(interval.days(), 6.0);
    EXPECT_EQ(counter.count, 0);
}

TEST(Utf8StringNode, WideTextGoesIntoPropertyVAsUtf8)
{
    s11n_node node;
    ASSERT_TRUE(s11n::serialize(node, std::wstring(L"Порт №3")));
    EXPECT_EQ(node.class_name(), "utf8string");
    EXPECT_EQ(node.get("v"), "\xD0\x9F\xD0\xBE\xD1\x80\xD1\x82 \xE2\x84\x96\x33");
    std::wstring loaded;
    ASSERT_TRUE(s11n::deserialize(node, loaded));
    EXPECT_EQ(loaded, L"Порт №3");
}

} // namespace
