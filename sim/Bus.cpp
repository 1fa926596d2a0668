#include "sim/Bus.h"

#include "link/Device.h"
#include "sim/SimErrors.h"

#include <boost/format.hpp>

#include <algorithm>

namespace VPanel::Sim {

namespace {
constexpr std::size_t firstCorruptibleByte = Link::headerSize;
}

Bus::Bus(const std::vector<FirmwareSetup>& devices, const Faults& faults, std::uint32_t seed,
         Firmware::SteadyTime start)
    : m_faults(faults), m_random(seed)
{
    for (const FirmwareSetup& setup : devices) {
        if (!m_devices.try_emplace(setup.address, setup, start).second)
            throw SimulatorException(
                (boost::wformat(KelBase::resStr(SimMessage::DuplicateAddress)) % unsigned(setup.address)).str());
    }
}

BusReply Bus::onFrame(const std::uint8_t* bytes, std::size_t size, Firmware::SteadyTime now, Firmware::WallTime wall)
{
    std::lock_guard lock(m_mutex);
    ++m_counters.frames;
    const Link::ParsedRequest parsed = Link::parseRequest(bytes, size);
    if (parsed.status != Link::RequestStatus::Ok) {
        ++m_counters.invalid;
        return {FrameOutcome::Invalid, {}};
    }
    const auto device = m_devices.find(parsed.request.address);
    if (device == m_devices.end()) {
        ++m_counters.notAddressed;
        return {FrameOutcome::NotAddressed, {}};
    }

    const bool muted = silenced(now);
    std::optional<Link::Frame> reply = device->second.handle(parsed.request, m_faults.quirks, now, wall);
    if (muted || m_faults.silentDevices.count(parsed.request.address) > 0) {
        ++m_counters.muted;
        return {FrameOutcome::Muted, {}};
    }
    if (!reply)
        return {FrameOutcome::DeviceSilent, {}};
    if (roll(m_faults.dropProbability)) {
        ++m_counters.dropped;
        return {FrameOutcome::Dropped, {}};
    }
    ++m_counters.answered;
    return {FrameOutcome::Answered, disturb(*reply)};
}

void Bus::onNoise()
{
    std::lock_guard lock(m_mutex);
    ++m_counters.noise;
}

void Bus::onUnheard()
{
    std::lock_guard lock(m_mutex);
    ++m_counters.unheard;
}

void Bus::setFaults(const Faults& faults)
{
    std::lock_guard lock(m_mutex);
    m_faults = faults;
    m_requestsSinceFaults = 0;
    m_silentSince.reset();
}

Faults Bus::faults() const
{
    std::lock_guard lock(m_mutex);
    return m_faults;
}

std::optional<DeviceCounters> Bus::deviceCounters(std::uint8_t address) const
{
    std::lock_guard lock(m_mutex);
    const auto device = m_devices.find(address);
    if (device == m_devices.end())
        return std::nullopt;
    return device->second.counters();
}

BusCounters Bus::counters() const
{
    std::lock_guard lock(m_mutex);
    return m_counters;
}

bool Bus::silenced(Firmware::SteadyTime now)
{
    if (!m_faults.silentAfterRequests)
        return false;
    if (++m_requestsSinceFaults <= *m_faults.silentAfterRequests)
        return false;
    if (!m_silentSince)
        m_silentSince = now;
    const bool forGood = m_faults.silentPeriod.count() == 0;
    if (forGood || now - *m_silentSince < m_faults.silentPeriod)
        return true;
    // The silence is over and the fault spent.
    m_faults.silentAfterRequests.reset();
    m_silentSince.reset();
    return false;
}

bool Bus::roll(double probability)
{
    return std::bernoulli_distribution(std::clamp(probability, 0.0, 1.0))(m_random);
}

Transmission Bus::disturb(Link::Frame frame)
{
    if (m_faults.wrongAddress) {
        frame.bytes()[0] = static_cast<std::uint8_t>(frame.address() + 1);
        frame.seal();
    }
    if (roll(m_faults.corruptProbability)) {
        std::uniform_int_distribution<std::size_t> position(firstCorruptibleByte, frame.size() - 1);
        std::uniform_int_distribution<int> flip(1, 0xFF);
        frame.bytes()[position(m_random)] ^= static_cast<std::uint8_t>(flip(m_random));
        ++m_counters.corrupted;
    }
    Transmission transmission{frame, 0, m_faults.splitGap, m_faults.replyDelay};
    if (frame.size() >= m_faults.splitFromSize && roll(m_faults.splitProbability)) {
        transmission.splitAt = frame.size() / 2;
        ++m_counters.split;
    }
    return transmission;
}

} // namespace VPanel::Sim
