#include "baselib/signals/SignalObserver.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/CommTimeouts.h"
#include "comm/serial/LineRecord.h"
#include "comm/serial/SerialExceptions.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace KelComm::Serial;
using KelTime::TimeDuration;

const std::wstring baudRateText = L"Скорость передачи данных должна быть задана в пределах от 75 до 921600 бит/с";
const std::wstring byteSizeText = L"Размер байта должен быть задан в пределах от 5 до 8 бит";

// Counts the changed signals of one object and checks that they name it.
template <class Value>
class ChangeCounter : public KelBase::SignalObserver<typename Value::SignalSubject> {
public:
    explicit ChangeCounter(const Value& value) : m_value(value) { this->connect(value.signalSubject()); }
    ~ChangeCounter() { this->disconnect(); }
    void changed(const Value* value) override
    {
        EXPECT_EQ(value, &m_value);
        ++count;
    }
    int count = 0;

private:
    const Value& m_value;
};

template <class Call>
std::wstring messageOf(Call call)
{
    try {
        call();
    } catch (const CommSettingsException& error) {
        return error.message();
    }
    return L"(nothing thrown)";
}

TEST(CommSettings, DefaultsAreThoseOfTheLibrary)
{
    const CommSettings settings;
    EXPECT_EQ(settings.baudRate(), 19200);
    EXPECT_EQ(settings.byteSize(), 8);
    EXPECT_EQ(settings.parity(), Parity::None);
    EXPECT_EQ(settings.stopBits(), StopBits::One);
    EXPECT_EQ(settings.dtrControl(), DTR_Control::Disable);
    EXPECT_EQ(settings.rtsControl(), RTS_Control::Disable);
}

TEST(CommSettings, RangesAreCheckedBaudRateFirstWithTheirTexts)
{
    EXPECT_EQ(messageOf([] { CommSettings(50, 8); }), baudRateText);
    EXPECT_EQ(messageOf([] { CommSettings(50, 9); }), baudRateText);
    EXPECT_EQ(messageOf([] { CommSettings(9600, 4); }), byteSizeText);
    EXPECT_EQ(messageOf([] { CommSettings(921601, 8); }), baudRateText);
    EXPECT_NO_THROW(CommSettings(75, 5));
    EXPECT_NO_THROW(CommSettings(921600, 8));

    CommSettings settings(9600, 7);
    ChangeCounter<CommSettings> counter(settings);
    EXPECT_EQ(messageOf([&] { settings.setBaudRate(1000000); }), baudRateText);
    EXPECT_EQ(messageOf([&] { settings.setBaudRate(74); }), baudRateText);
    EXPECT_EQ(messageOf([&] { settings.setByteSize(9); }), byteSizeText);
    EXPECT_EQ(settings.baudRate(), 9600);
    EXPECT_EQ(settings.byteSize(), 7);
    EXPECT_EQ(counter.count, 0);
}

TEST(CommSettings, OneChangedPerRealChange)
{
    CommSettings settings;
    ChangeCounter<CommSettings> counter(settings);
    const std::function<void()> steps[] = {
        [&] { settings.setBaudRate(19200); },          [&] { settings.setBaudRate(9600); },
        [&] { settings.setByteSize(8); },              [&] { settings.setByteSize(7); },
        [&] { settings.setParity(Parity::None); },     [&] { settings.setParity(Parity::Mark); },
        [&] { settings.setStopBits(StopBits::One); },  [&] { settings.setStopBits(StopBits::Two); },
        [&] { settings.setDtrControl(DTR_Control::Disable); },
        [&] { settings.setDtrControl(DTR_Control::Enable); },
        [&] { settings.setRtsControl(RTS_Control::Disable); },
        [&] { settings.setRtsControl(RTS_Control::Toggle); },
    };
    int expected = 0;
    for (std::size_t step = 0; step < std::size(steps); ++step) {
        steps[step]();
        expected += step % 2; // every second step sets a new value
        EXPECT_EQ(counter.count, expected) << "step " << step;
    }
}

TEST(CommSettings, CopiesTakeValuesButNotObservers)
{
    CommSettings source(4800, 6, Parity::Odd, StopBits::Two, DTR_Control::Handshake, RTS_Control::Enable);
    ChangeCounter<CommSettings> sourceCounter(source);
    CommSettings copy(source);
    EXPECT_EQ(copy.signalSubject().observerCount(), 0u);
    EXPECT_EQ(copy.baudRate(), 4800);
    EXPECT_EQ(copy.rtsControl(), RTS_Control::Enable);

    CommSettings target;
    ChangeCounter<CommSettings> targetCounter(target);
    target = source;
    target = source; // equal values: still one signal per assignment
    EXPECT_EQ(targetCounter.count, 2);
    EXPECT_EQ(target.byteSize(), 6);
    EXPECT_EQ(target.stopBits(), StopBits::Two);
    EXPECT_EQ(sourceCounter.count, 0);
    EXPECT_EQ(source.signalSubject().observerCount(), 1u);
}

TEST(CommSettings, ByteTransmitTimeCountsEveryBitOfACharacter)
{
    const auto bits = [](const CommSettings& s) {
        return s.byteTransmitTime().days() * TimeDuration::secondsPerDay * static_cast<double>(s.baudRate());
    };
    EXPECT_NEAR(bits(CommSettings(9600, 7, Parity::Even, StopBits::Two)), 11.0, 1e-6);
    EXPECT_NEAR(bits(CommSettings(19200, 8)), 10.0, 1e-6);
    EXPECT_NEAR(bits(CommSettings(115200, 5, Parity::Space)), 8.0, 1e-6);
    EXPECT_NEAR(CommSettings(19200, 8).byteTransmitTime().days() * TimeDuration::millisecondsPerDay,
                0.5208, 1e-3);
}

TEST(CommTimeouts, DefaultsAreInfiniteAndSetReadTimeoutsSignalsOnce)
{
    CommTimeouts timeouts;
    TimeDuration response, interval;
    timeouts.getReadTimeouts(response, interval);
    EXPECT_TRUE(response.isInfinite());
    EXPECT_TRUE(interval.isInfinite());

    ChangeCounter<CommTimeouts> counter(timeouts);
    const TimeDuration second = KelTime::Seconds(1), tenMs = KelTime::Milliseconds(10);
    timeouts.setReadTimeouts(second, tenMs); // both differ: still one
    timeouts.setReadTimeouts(second, tenMs);
    timeouts.setReadTimeouts(second, TimeDuration::null());
    EXPECT_EQ(counter.count, 2);
    timeouts.getReadTimeouts(response, interval);
    EXPECT_EQ(response, second);
    EXPECT_TRUE(interval.isNull());

    CommTimeouts other(tenMs, tenMs);
    timeouts = other;
    EXPECT_EQ(counter.count, 3);
}

TEST(TimeoutImage, IntervalsAreKeptInWholeMillisecondsWithTwoSpecialValues)
{
    using Internal::TimeoutImage;
    const struct {
        TimeDuration interval;
        std::uint32_t image_ms;
    } cases[] = {
        {TimeDuration::null(), TimeoutImage::nullInterval_ms},
        {TimeDuration::infinity(), TimeoutImage::noIntervalLimit_ms},
        {KelTime::Milliseconds(7), 7},
        {TimeDuration::fromDays(7.2 / TimeDuration::millisecondsPerDay), 8}, // rounded up
        {KelTime::Seconds(2), 2000},
    };
    for (const auto& c : cases) {
        const TimeoutImage image = Internal::timeoutImageFrom(CommTimeouts(KelTime::Seconds(1), c.interval));
        EXPECT_EQ(image.interval_ms, c.image_ms);
        EXPECT_TRUE(image.configured);
        TimeDuration response, interval;
        Internal::timeoutsFromImage(image).getReadTimeouts(response, interval);
        EXPECT_EQ(response, TimeDuration(KelTime::Seconds(1)));
        EXPECT_EQ(interval.isNull(), c.interval.isNull());
        EXPECT_EQ(interval.isInfinite(), c.interval.isInfinite());
        if (!interval.isNull() && !interval.isInfinite()) {
            EXPECT_EQ(interval.toMilliseconds(), c.image_ms);
        }
    }
}

TEST(TimeoutImage, ReadLimitsHaveAFourMillisecondFloor)
{
    Internal::LineImage line;
    Internal::putSettings(line, CommSettings(300, 8)); // 33.3 ms a character
    Internal::TimeoutImage timeouts;
    timeouts.interval_ms = 2;
    Internal::ReadLimits limits = Internal::readLimits(timeouts, line);
    EXPECT_EQ(limits.interval_ms, 4u);
    EXPECT_EQ(limits.totalMultiplier_ms, 34u);

    Internal::putSettings(line, CommSettings(115200, 8));
    timeouts.interval_ms = 20;
    limits = Internal::readLimits(timeouts, line);
    EXPECT_EQ(limits.interval_ms, 20u);
    EXPECT_EQ(limits.totalMultiplier_ms, 20u);

    timeouts.interval_ms = Internal::TimeoutImage::nullInterval_ms;
    EXPECT_TRUE(Internal::readLimits(timeouts, line).noWait);
    timeouts.interval_ms = Internal::TimeoutImage::noIntervalLimit_ms;
    limits = Internal::readLimits(timeouts, line);
    EXPECT_FALSE(limits.noWait);
    EXPECT_EQ(limits.interval_ms, 0u);
    EXPECT_EQ(limits.totalMultiplier_ms, 0u);
}

} // namespace
