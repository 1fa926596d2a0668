// The parser and its field reads on arbitrary blocks. The first byte gives how many of the
// following bytes are operations; the rest is the block. Each read either takes exactly its
// bytes or throws and leaves the cursor; every value read writes back to the same bytes, and
// a date or time that converts to a calendar value converts back to the same field.
#include "baselib/exceptions/Exception.h"
#include "comm/pdu/Builder.h"
#include "comm/pdu/Date.h"
#include "comm/pdu/Parser.h"
#include "comm/pdu/PduExceptions.h"
#include "comm/pdu/SzStr.h"
#include "comm/pdu/Time.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace KelComm::PDU;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

using Bytes = std::vector<unsigned char>;

template <class Field>
Bytes written(const Field& field, std::size_t size)
{
    Builder builder(static_cast<unsigned int>(size + 1));
    builder << field;
    const ConstBytes block = builder.pdu();
    return Bytes(block.begin, block.end);
}

// A read of a fixed-size field: nothing at the end, an exception when too short, else
// exactly its bytes.
template <class Field>
bool readFixed(Parser& parser, Field& field)
{
    const ConstBytes before = parser.rest();
    const Field previous = field;
    try {
        parser >> field;
    } catch (const ParserException&) {
        require(before.size() > 0 && before.size() < Field::wireSize);
        require(parser.rest().begin == before.begin && field == previous);
        return false;
    }
    if (before.empty()) {
        require(field == previous && parser.atEnd());
        return false;
    }
    require(parser.rest().begin == before.begin + Field::wireSize);
    require(written(field, Field::wireSize) == Bytes(before.begin, before.begin + Field::wireSize));
    return true;
}

void readText(Parser& parser)
{
    const ConstBytes before = parser.rest();
    SzStr text(L"previous");
    parser >> text;
    if (before.empty()) {
        require(text.str() == L"previous");
        return;
    }
    const unsigned char* terminator = std::find(before.begin, before.end, 0);
    require(text.utf8() == std::string(before.begin, terminator));
    require(parser.rest().begin == (terminator == before.end ? before.end : terminator + 1));
    Bytes expected(before.begin, terminator);
    expected.push_back(0);
    require(written(text, expected.size()) == expected);
    const std::wstring wide = text.str();
    if (wide.find(L'\xFFFD') == std::wstring::npos)
        require(SzStr(wide) == text);
}

void readDate(Parser& parser)
{
    Date date;
    if (!readFixed(parser, date) || date.isUnknown())
        return;
    try {
        require(Date(date.date()) == date);
    } catch (const KelBase::Exception&) {
        // A year above the unknown one, or no such calendar day.
    }
}

void readTime(Parser& parser)
{
    Time time;
    if (!readFixed(parser, time))
        return;
    const std::uint32_t value = time.value();
    const std::uint32_t hour = value & 0x1F, minute = value >> 5 & 0x3F, second = value >> 11 & 0x3F,
                        millisecond = value >> 17 & 0xFFF;
    const bool canonical = hour < 24 && minute < 60 && second < 60 && millisecond < 1000 && (value >> 29) == 0;
    try {
        const KelTime::Time calendar = time.time();
        require(hour <= 24);
        if (hour == 24)
            require(calendar.isIndeterminate());
        if (canonical)
            require(Time(calendar) == time);
        else
            static_cast<void>(Time(calendar));
    } catch (const KelBase::Exception&) {
        require(!canonical);
    }
}

void readRaw(Parser& parser, std::size_t count, bool copy)
{
    const ConstBytes before = parser.rest();
    Bytes target(count);
    try {
        if (copy)
            parser.read(MutableBytes(target.data(), target.data() + count));
        else
            parser.skip(count);
    } catch (const ParserException&) {
        require(count > before.size() && parser.rest().begin == before.begin);
        return;
    }
    require(parser.rest().begin == before.begin + count);
    if (copy)
        require(target == Bytes(before.begin, before.begin + count));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t opCount = std::min<std::size_t>(data[0], size - 1);
    const std::uint8_t* ops = data + 1;
    Parser parser(ops + opCount, data + size);
    for (std::size_t index = 0; index < opCount; ++index) {
        const unsigned int op = ops[index];
        switch (op % 6) {
        case 0: readText(parser); break;
        case 1: readDate(parser); break;
        case 2: readTime(parser); break;
        case 3: readRaw(parser, op >> 3, false); break;
        case 4: readRaw(parser, op >> 3, true); break;
        default:
            if (parser.atEnd())
                readRaw(parser, 1, true);
            else
                require(parser.readByte() == *(parser.rest().begin - 1));
        }
        require(parser.remaining() <= size);
    }
    return 0;
}
