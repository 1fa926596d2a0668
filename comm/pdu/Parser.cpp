#include "comm/pdu/Parser.h"

#include "comm/pdu/PduExceptions.h"

#include <algorithm>

namespace KelComm::PDU {

Parser::Parser(const unsigned char* begin, const unsigned char* end)
    : m_begin(begin), m_end(end < begin ? begin : end), m_cursor(begin)
{
}

Parser::Parser(const ConstBytes& block) : Parser(block.begin, block.end) {}

void Parser::throwNotEnoughData() { throw ParserException(KelBase::resStr(InputDataMessage::NotEnoughData)); }

void Parser::read(const MutableBytes& target)
{
    const std::size_t count = target.size();
    if (count > remaining())
        throwNotEnoughData();
    std::copy(m_cursor, m_cursor + count, target.begin);
    m_cursor += count;
}

unsigned char Parser::readByte()
{
    if (atEnd())
        throwNotEnoughData();
    return *m_cursor++;
}

void Parser::skip(std::size_t count)
{
    if (count > remaining())
        throwNotEnoughData();
    m_cursor += count;
}

} // namespace KelComm::PDU
