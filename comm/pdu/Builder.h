#pragma once

#include "comm/Export.h"
#include "comm/pdu/IteratorPair.h"

#include <boost/circular_buffer.hpp>

namespace KelComm::PDU {

// A byte block that grows at both ends up to a fixed limit, so that each protocol layer can
// put its header in front of the inner part without copying it. The storage is a ring
// allocated once; pdu() straightens it in place.
//
// The ring is kept full: the block is its first size() elements and the rest is room. A push
// at the front turns the ring back by the bytes pushed (a pointer move for a full ring) and
// writes them there, so no byte of the block moves until pdu() needs it contiguous. Longer
// runs of bytes are copied in blocks; the ring's own element-wise insertion is far too slow
// for a payload.
class KELCOMM_EXPORT Builder {
public:
    // No storage: every push throws. Only useful as the target of take().
    Builder() = default;
    // Room for maxLength - 1 bytes.
    explicit Builder(unsigned int maxLength);
    // Same limit and content; the copy has not been given away.
    Builder(const Builder& other);
    Builder& operator=(const Builder& other);

    // Takes the source's content under a new limit, keeping its first min(size, maxLength)
    // bytes. The source gets this builder's former content with its limit and is marked as
    // given away.
    void take(Builder& source, unsigned int maxLength);

    // Each push throws BuilderException and leaves the block as it was when the new bytes
    // would not fit. The single-byte pushes are inline: layers push fields byte by byte.
    void pushBack(unsigned char byte)
    {
        checkRoom(1);
        m_ring[m_size] = byte;
        ++m_size;
    }
    void pushBack(const ConstBytes& bytes);
    // The bytes keep their order in front of the current content.
    void pushFront(unsigned char byte)
    {
        checkRoom(1);
        // On a full ring this takes the last element, which is room, round to the front.
        m_ring.push_front(byte);
        ++m_size;
    }
    void pushFront(const ConstBytes& bytes);

    // The content as one contiguous range; valid until the next change.
    ConstBytes pdu() const;

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    unsigned int maxLength() const { return m_maxLength; }
    bool givenAway() const { return m_givenAway; }

private:
    using Ring = boost::circular_buffer<unsigned char>;

    // size + count < maxLength, written so that it cannot wrap round.
    void checkRoom(std::size_t count) const
    {
        if (m_size >= m_maxLength || count >= m_maxLength - m_size)
            throwTooLong();
    }
    [[noreturn]] static void throwTooLong();
    // Copies bytes over the ring's elements from index on, across the wrap where there is one.
    void write(std::size_t index, const unsigned char* bytes, std::size_t count);

    unsigned int m_maxLength = 0;
    // pdu() is logically const but may rotate the ring to make the block contiguous.
    mutable Ring m_ring;
    std::size_t m_size = 0;
    bool m_givenAway = false;
};

} // namespace KelComm::PDU
