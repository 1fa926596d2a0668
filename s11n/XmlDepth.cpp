#include "s11n/XmlDepth.h"

#include <algorithm>

namespace s11n::Internal {

namespace {

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class DepthScanner {
public:
    explicit DepthScanner(std::string_view text) : m_text(text.substr(0, text.find('\0'))) {}

    std::size_t scan()
    {
        while (m_position < m_text.size()) {
            if (m_text[m_position] != '<') {
                ++m_position;
                continue;
            }
            if (startsWith("<!--"))
                skipPast("<!--", "-->");
            else if (startsWith("<![CDATA["))
                skipPast("<![CDATA[", "]]>");
            else if (startsWith("<!DOCTYPE") && m_position + 9 < m_text.size() && isXmlSpace(m_text[m_position + 9]))
                skipDoctype();
            else if (startsWith("<!"))
                skipPast("<!", ">");
            else if (startsWith("<?"))
                skipPast("<?", "?>");
            else if (startsWith("</")) {
                m_depth = m_depth > 0 ? m_depth - 1 : 0;
                skipPast("</", ">");
            } else
                scanStartTag();
        }
        return m_deepest;
    }

private:
    bool startsWith(std::string_view prefix) const { return m_text.substr(m_position, prefix.size()) == prefix; }

    // Past the first end mark after the opening mark; the two may not overlap ("<!-->" does
    // not end a comment).
    void skipPast(std::string_view start, std::string_view end)
    {
        const std::size_t found = m_text.find(end, m_position + start.size());
        m_position = found == std::string_view::npos ? m_text.size() : found + end.size();
    }

    // The internal subset in brackets may hold '>' of its own.
    void skipDoctype()
    {
        int brackets = 0;
        for (++m_position; m_position < m_text.size(); ++m_position) {
            const char c = m_text[m_position];
            if (c == '[')
                ++brackets;
            else if (c == ']' && brackets > 0)
                --brackets;
            else if (c == '>' && brackets == 0)
                break;
        }
        ++m_position;
    }

    // An element opens here; it closes at once when its tag ends with "/>". Quoted
    // attribute values may hold '>' and "/>".
    void scanStartTag()
    {
        m_deepest = std::max(m_deepest, ++m_depth);
        char quote = 0;
        char previous = 0;
        for (++m_position; m_position < m_text.size(); ++m_position) {
            const char c = m_text[m_position];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                if (previous == '/')
                    --m_depth;
                ++m_position;
                return;
            }
            previous = quote != 0 ? 0 : c;
        }
    }

    std::string_view m_text;
    std::size_t m_position = 0;
    std::size_t m_depth = 0;
    std::size_t m_deepest = 0;
};

} // namespace

std::size_t xmlElementDepth(std::string_view text) { return DepthScanner(text).scan(); }

} // namespace s11n::Internal
