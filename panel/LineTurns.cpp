#include "panel/LineTurns.h"

#include <algorithm>

namespace VPanel::Panel {

LineTurns::Seat LineTurns::join(Urgency urgency)
{
    const std::lock_guard lock(m_mutex);
    auto member = std::make_unique<Member>();
    member->seat = m_nextSeat;
    member->urgency = std::move(urgency);
    m_members.push_back(std::move(member));
    return m_nextSeat++;
}

void LineTurns::leave(Seat seat)
{
    const std::lock_guard lock(m_mutex);
    m_members.erase(std::remove_if(m_members.begin(), m_members.end(),
                                   [seat](const auto& member) { return member->seat == seat; }),
                    m_members.end());
    if (m_holder == seat) {
        m_holder.reset();
        handOn();
    }
}

bool LineTurns::take(Seat seat, const std::function<bool()>& giveUp)
{
    std::unique_lock lock(m_mutex);
    Member* member = find(seat);
    if (!member)
        return false;
    member->waiting = true;
    if (!m_holder)
        handOn();
    // Only the seat itself leaves the turns, so the member outlives this wait.
    member->handedOn.wait(lock, [&] { return m_holder == seat || giveUp(); });
    member->waiting = false;
    return m_holder == seat;
}

void LineTurns::pass(Seat seat)
{
    const std::lock_guard lock(m_mutex);
    if (m_holder != seat)
        return;
    m_holder.reset();
    if (m_holderInRound)
        m_roundAt = seat;
    m_outOfRoundUrgency = m_holderInRound ? 0 : m_holderUrgency;
    handOn();
}

void LineTurns::wake()
{
    const std::lock_guard lock(m_mutex);
    for (const auto& member : m_members)
        member->handedOn.notify_one();
}

LineTurns::Member* LineTurns::find(Seat seat)
{
    const auto found = std::find_if(m_members.begin(), m_members.end(),
                                    [seat](const auto& member) { return member->seat == seat; });
    return found == m_members.end() ? nullptr : found->get();
}

void LineTurns::handOn()
{
    const std::size_t count = m_members.size();
    std::size_t start = 0;
    if (m_roundAt)
        for (std::size_t index = 0; index < count; ++index)
            if (m_members[index]->seat == *m_roundAt)
                start = index + 1;
    Member* inRound = nullptr;
    Member* chosen = nullptr;
    int chosenUrgency = 0;
    for (std::size_t step = 0; step < count; ++step) {
        Member& member = *m_members[(start + step) % count];
        if (!member.waiting)
            continue;
        if (!inRound)
            inRound = &member;
        const int urgency = member.urgency();
        if (!chosen || urgency > chosenUrgency) {
            chosen = &member;
            chosenUrgency = urgency;
        }
    }
    if (!chosen)
        return;
    if (chosen != inRound && chosenUrgency <= m_outOfRoundUrgency) {
        chosen = inRound;
        chosenUrgency = 0;
    }
    m_holder = chosen->seat;
    m_holderInRound = chosen == inRound;
    m_holderUrgency = chosenUrgency;
    chosen->handedOn.notify_one();
}

} // namespace VPanel::Panel
