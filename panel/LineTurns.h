#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace VPanel::Panel {

// The order in which the devices of one line take the line, one write-then-read attempt at a
// time: round robin in the order they joined, except that a seat with something urgent to say
// (a stop, a key change) is asked next. A turn out of order does not move the round, and the
// turn after it goes out of order only for something more urgent: devices with keys coming all
// the time take every other turn at most and the round still reaches every device.
class LineTurns {
public:
    // Higher goes first; 0 is a plain poll.
    using Urgency = std::function<int()>;
    using Seat = std::size_t;

    // `urgency` is asked under the turns' lock whenever the line is handed on: it must not call
    // back into these turns.
    Seat join(Urgency urgency);
    // The seat's turn, if it holds one, goes to the next.
    void leave(Seat seat);

    // Waits until the line is the seat's; false, without the line, once `giveUp` says so.
    // `giveUp` is asked under the turns' lock, when the wait begins and on every wake().
    bool take(Seat seat, const std::function<bool()>& giveUp);
    // Hands the line on to the next waiting seat.
    void pass(Seat seat);
    // Makes every waiting seat ask its `giveUp` again.
    void wake();

private:
    struct Member {
        Seat seat = 0;
        Urgency urgency;
        bool waiting = false;
        // Only the seat the line goes to is woken: on a line of many devices, waking every
        // waiter at each hand-on cost more than the exchanges themselves.
        std::condition_variable handedOn;
    };

    Member* find(Seat seat);
    void handOn();

    std::mutex m_mutex;
    std::vector<std::unique_ptr<Member>> m_members; // in the order they joined
    Seat m_nextSeat = 0;
    std::optional<Seat> m_holder;
    bool m_holderInRound = false;
    int m_holderUrgency = 0;
    // The last seat served in the round's order.
    std::optional<Seat> m_roundAt;
    // What the last turn, when out of order, was asked for; 0 after a turn in order.
    int m_outOfRoundUrgency = 0;
};

// Holds the line for one attempt and hands it on however the attempt ends.
class LineTurn {
public:
    LineTurn(LineTurns& turns, LineTurns::Seat seat, const std::function<bool()>& giveUp)
        : m_turns(turns), m_seat(seat), m_held(turns.take(seat, giveUp))
    {
    }
    ~LineTurn()
    {
        if (m_held)
            m_turns.pass(m_seat);
    }
    LineTurn(const LineTurn&) = delete;
    LineTurn& operator=(const LineTurn&) = delete;
    bool held() const { return m_held; }

private:
    LineTurns& m_turns;
    const LineTurns::Seat m_seat;
    const bool m_held;
};

} // namespace VPanel::Panel
