// The text reader of byte blocks on arbitrary text. The first byte is the builder's limit,
// the second chooses the letter case for writing, the rest is the text (one character per
// byte). Reading never overfills the builder, and whatever it read is written and read back
// to the same bytes.
#include "comm/pdu/BlockText.h"
#include "comm/pdu/Builder.h"
#include "comm/pdu/PduExceptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace KelComm::PDU;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr int maxBlocks = 8;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const unsigned int limit = data[0];
    const bool uppercase = (data[1] & 1) != 0;
    std::wistringstream in(std::wstring(data + 2, data + size));

    Builder builder(limit);
    try {
        for (int block = 0; block < maxBlocks && in; ++block)
            in >> builder;
    } catch (const BuilderException&) {
        // Bytes are pushed one at a time, so only a full builder refuses one.
        require(builder.size() + 1 >= limit);
    }
    require(limit == 0 ? builder.empty() : builder.size() < limit);

    const ConstBytes content = builder.pdu();
    std::wostringstream out;
    if (uppercase)
        out << std::uppercase;
    out << content;
    const std::wstring text = out.str();
    require(text.size() == (content.size() == 0 ? 2 : 3 * content.size() + 1));
    for (wchar_t c : text)
        require(uppercase ? (c < L'a' || c > L'f') : (c < L'A' || c > L'F'));

    std::wistringstream again(text);
    Builder copy(limit == 0 ? 1 : limit);
    again >> copy;
    require(again.good());
    const ConstBytes reread = copy.pdu();
    require(std::vector<unsigned char>(reread.begin, reread.end) ==
            std::vector<unsigned char>(content.begin, content.end));
    return 0;
}
