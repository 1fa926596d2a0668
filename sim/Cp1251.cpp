#include "sim/Cp1251.h"

#include "sim/SimErrors.h"

#include <iconv.h>

#include <cerrno>

namespace VPanel::Sim {

namespace {
constexpr char unencodable = '?';

// One converter per thread: a conversion descriptor keeps state and must not be shared.
class Converter {
public:
    Converter() : m_descriptor(iconv_open("WINDOWS-1251", "WCHAR_T"))
    {
        if (m_descriptor == invalidDescriptor())
            throwSystemError(L"iconv_open");
    }
    ~Converter() { iconv_close(m_descriptor); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string encode(std::wstring_view text)
    {
        // Every code of the page is one byte: the output is never longer than the text.
        std::string encoded(text.size(), '\0');
        char* input = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
        std::size_t inputLeft = text.size() * sizeof(wchar_t);
        char* output = encoded.data();
        std::size_t outputLeft = encoded.size();
        while (inputLeft > 0) {
            if (iconv(m_descriptor, &input, &inputLeft, &output, &outputLeft) != static_cast<std::size_t>(-1))
                break;
            if (errno != EILSEQ && errno != EINVAL)
                throwSystemError(L"iconv");
            // A character the page lacks (or an invalid one) takes one place as '?'.
            *output++ = unencodable;
            --outputLeft;
            input += sizeof(wchar_t);
            inputLeft -= sizeof(wchar_t);
        }
        encoded.resize(encoded.size() - outputLeft);
        return encoded;
    }

private:
    static iconv_t invalidDescriptor() { return reinterpret_cast<iconv_t>(-1); }

    iconv_t m_descriptor;
};
} // namespace

std::string toCp1251(std::wstring_view text)
{
    thread_local Converter converter;
    return converter.encode(text);
}

} // namespace VPanel::Sim
