#include "comm/pdu/Builder.h"

#include "comm/pdu/PduExceptions.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace KelComm::PDU {

namespace {

using Ring = boost::circular_buffer<unsigned char>;

// The smaller part of a wrapped block is set aside here while the larger one moves.
constexpr std::size_t asideBytes = 256;
// Up to this many bytes go to the front one by one; turning the ring costs more.
constexpr std::size_t shortRun = 4;
// An empty block starts this far into its storage, a sixteenth of it but at most 64 bytes,
// so that the headers that layers put in front of their payload seldom wrap round: a
// wrapped block costs pdu() a move of the whole block.
constexpr unsigned int headroomShare = 16;
constexpr unsigned int maxHeadroom = 64;

Ring emptyRing(unsigned int capacity)
{
    Ring ring(capacity, capacity, 0);
    const unsigned int headroom = std::min(capacity / headroomShare, maxHeadroom);
    if (headroom > 0)
        ring.rotate(ring.begin() + headroom);
    return ring;
}

// Storage [base, base + capacity) holds a wrapped block: its last tail bytes at the start,
// its first head bytes at the end, room between. Moves it together in place and gives the
// offset where it now starts.
std::size_t straighten(unsigned char* base, std::size_t capacity, std::size_t head, std::size_t tail)
{
    const std::size_t room = capacity - head - tail;
    unsigned char* const headStart = base + capacity - head;
    unsigned char aside[asideBytes];
    if (head <= tail && head <= asideBytes) {
        std::memcpy(aside, headStart, head);
        std::memmove(base + head, base, tail);
        std::memcpy(base, aside, head);
        return 0;
    }
    if (tail < head && tail <= asideBytes) {
        std::memcpy(aside, base, tail);
        std::memmove(base + room, headStart, head);
        std::memcpy(base + room + head, aside, tail);
        return room;
    }
    std::rotate(base, headStart, base + capacity);
    return 0;
}

} // namespace

Builder::Builder(unsigned int maxLength) : m_maxLength(maxLength), m_ring(emptyRing(maxLength)) {}

Builder::Builder(const Builder& other) : m_maxLength(other.m_maxLength), m_ring(other.m_ring), m_size(other.m_size)
{
}

Builder& Builder::operator=(const Builder& other)
{
    if (this != &other) {
        m_ring = other.m_ring;
        m_maxLength = other.m_maxLength;
        m_size = other.m_size;
        m_givenAway = false;
    }
    return *this;
}

void Builder::take(Builder& source, unsigned int maxLength)
{
    if (&source != this) {
        // The limit travels with its ring: a source left with a smaller ring than its old
        // limit would otherwise write past its own storage.
        m_ring.swap(source.m_ring);
        std::swap(m_size, source.m_size);
        source.m_maxLength = m_maxLength;
        source.m_givenAway = true;
    }
    const ConstBytes block = pdu();
    const std::size_t kept = std::min<std::size_t>(m_size, maxLength);
    Ring ring = emptyRing(maxLength);
    std::copy(block.begin, block.begin + kept, ring.begin());
    m_ring.swap(ring);
    m_size = kept;
    m_maxLength = maxLength;
}

void Builder::throwTooLong() { throw BuilderException(KelBase::resStr(BlockLengthMessage::TooLong)); }

void Builder::write(std::size_t index, const unsigned char* bytes, std::size_t count)
{
    const Ring::array_range first = m_ring.array_one();
    if (index < first.second) {
        const std::size_t inFirst = std::min(count, first.second - index);
        std::memcpy(first.first + index, bytes, inFirst);
        bytes += inFirst;
        count -= inFirst;
        index = first.second;
    }
    if (count > 0)
        std::memcpy(m_ring.array_two().first + (index - first.second), bytes, count);
}

void Builder::pushBack(const ConstBytes& bytes)
{
    checkRoom(bytes.size());
    if (bytes.empty())
        return;
    write(m_size, bytes.begin, bytes.size());
    m_size += bytes.size();
}

void Builder::pushFront(const ConstBytes& bytes)
{
    const std::size_t count = bytes.size();
    checkRoom(count);
    if (count <= shortRun) {
        for (const unsigned char* byte = bytes.begin + count; byte != bytes.begin;)
            m_ring.push_front(*--byte);
    } else {
        m_ring.rotate(m_ring.end() - static_cast<Ring::difference_type>(count));
        write(0, bytes.begin, count);
    }
    m_size += count;
}

ConstBytes Builder::pdu() const
{
    const Ring::array_range first = m_ring.array_one();
    if (m_size > first.second) {
        unsigned char* const base = m_ring.array_two().first;
        const std::size_t start = straighten(base, m_ring.capacity(), first.second, m_size - first.second);
        // Turn the ring so that its first element is where the block now starts.
        const std::size_t index = (start + first.second) % m_ring.capacity();
        m_ring.rotate(m_ring.begin() + static_cast<Ring::difference_type>(index));
    }
    const unsigned char* begin = m_ring.array_one().first;
    return {begin, begin + m_size};
}

} // namespace KelComm::PDU
