#pragma once

#include "comm/Export.h"
#include "comm/pdu/IteratorPair.h"

#include <cstddef>

namespace KelComm::PDU {

// Reads a byte block it does not own from the front. A read that wants more bytes than
// remain throws ParserException and leaves the cursor where it was.
class KELCOMM_EXPORT Parser {
public:
    // A reversed range is read as an empty one.
    Parser(const unsigned char* begin, const unsigned char* end);
    explicit Parser(const ConstBytes& block);

    // Copies target.size() bytes into the target and moves past them.
    void read(const MutableBytes& target);
    unsigned char readByte();
    void skip(std::size_t count);

    bool atEnd() const { return m_cursor == m_end; }
    std::size_t remaining() const { return static_cast<std::size_t>(m_end - m_cursor); }
    // Bytes read or skipped so far.
    std::size_t position() const { return static_cast<std::size_t>(m_cursor - m_begin); }
    // The bytes not read yet.
    ConstBytes rest() const { return {m_cursor, m_end}; }

private:
    [[noreturn]] static void throwNotEnoughData();

    const unsigned char* m_begin;
    const unsigned char* m_end;
    const unsigned char* m_cursor;
};

} // namespace KelComm::PDU
