#include "comm/pdu/BlockText.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "comm/pdu/Builder.h"

#include <boost/io/ios_state.hpp>

#include <iomanip>
#include <istream>
#include <limits>
#include <ostream>

namespace KelComm::PDU {

namespace {
constexpr unsigned int largestByte = 0xFF;
constexpr int digitsPerByte = 2;
constexpr unsigned int tooLarge = largestByte + 1;

// A hexadecimal number as the writer makes it: no sign, which the stream would take and
// negate. A number too long for any type reads as tooLarge rather than as a failure, which
// "{}" would otherwise be taken for.
bool readNumber(std::wistream& in, unsigned int& number)
{
    if (in.flags() & std::ios::skipws)
        in >> std::ws;
    const std::wistream::int_type next = in.peek();
    if (next == L'-' || next == L'+') {
        in.setstate(std::ios::failbit);
        return false;
    }
    number = 0;
    if (in >> std::hex >> number)
        return true;
    if (in.bad() || number != std::numeric_limits<unsigned int>::max())
        return false;
    in.clear(in.rdstate() & ~std::ios::failbit);
    number = tooLarge;
    return true;
}
} // namespace

std::wostream& operator<<(std::wostream& out, const ConstBytes& block)
{
    if (!out.good()) {
        out.setstate(std::ios::failbit);
        return out;
    }
    const boost::io::ios_flags_saver savedFlags(out);
    out << L'{';
    // showbase or left adjustment would give a text that does not read back.
    out.flags((out.flags() & std::ios::uppercase) | std::ios::hex | std::ios::right);
    for (const unsigned char* byte = block.begin; byte != block.begin + block.size(); ++byte) {
        if (byte != block.begin)
            out << L',';
        out << std::setw(digitsPerByte) << std::setfill(L'0') << static_cast<unsigned int>(*byte);
    }
    out << L'}';
    return out;
}

std::wostream& operator<<(std::wostream& out, const MutableBytes& block) { return out << ConstBytes(block); }

std::wistream& operator>>(std::wistream& in, Builder& builder)
{
    const boost::io::ios_flags_saver savedFlags(in);
    wchar_t c = 0;
    if (!(in >> c))
        return in;
    if (c != L'{') {
        in.setstate(std::ios::failbit);
        return in;
    }
    unsigned int number = 0;
    if (!readNumber(in, number)) {
        if (in.bad())
            return in;
        // "{}": the closing brace is what stopped the number.
        in.clear(in.rdstate() & ~std::ios::failbit);
        if (in.get(c) && c == L'}')
            return in;
        if (in)
            in.putback(c);
        in.setstate(std::ios::failbit);
        return in;
    }
    while (number <= largestByte) {
        builder.pushBack(static_cast<unsigned char>(number));
        if (!in.get(c) || c == L'}')
            return in;
        if (!readNumber(in, number))
            return in;
    }
    in.setstate(std::ios::failbit);
    return in;
}

std::wistream& operator>>(std::wistream&, const MutableBytes&)
{
    throw KelBase::UnrealizedException(
        L"std::wistream& KelComm::PDU::operator>>(std::wistream&, const IteratorPair<unsigned char*>&)");
}

} // namespace KelComm::PDU
