#include "s11n/XmlDocument.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using s11n::s11n_node;

std::string documentOf(const s11n_node& node)
{
    std::ostringstream out;
    s11n::save_node(node, out);
    return out.str();
}

s11n_node loaded(const std::string& text)
{
    std::istringstream in(text);
    return s11n::load_node(in);
}

std::wstring loadFailure(const std::string& text)
{
    try {
        loaded(text);
    } catch (const s11n::s11n_exception& error) {
        return error.message();
    }
    return L"(nothing thrown)";
}

std::string repeated(const std::string& part, int count)
{
    std::string text;
    for (int index = 0; index < count; ++index)
        text += part;
    return text;
}

TEST(XmlDocument, AnyTextSurvivesTheTrip)
{
    const std::string awkward[] = {
        "", " ", "  lead", "trail  ", "two\nlines", "cr\r\nlf", "\r", "\ttab", "\x01\x1f", "&<>\"'", "&amp;", "]]>",
        "Кириллица", "a.b/c", "<!-- no comment -->", "x=\"y\"",
    };
    s11n_node root("root", "Root::Class");
    int index = 0;
    for (const std::string& text : awkward) {
        root.set(text, text);
        s11n_node& child = root.add_child(text);
        child.class_name(text);
        child.set("v", text);
        child.add_child(s11n_node("grandchild " + std::to_string(index++)));
    }
    root.add_child("dup").set("n", "1");
    root.add_child("dup").set("n", "2");
    EXPECT_EQ(loaded(documentOf(root)), root);
}

TEST(XmlDocument, ANulCannotBeStored)
{
    s11n_node root("root");
    root.add_child("child").set("v", std::string("a\0b", 3));
    std::ostringstream out;
    EXPECT_THROW(s11n::save_node(root, out), s11n::s11n_exception);
    EXPECT_EQ(out.str(), "");
}

TEST(XmlDocument, LayoutIsReadable)
{
    s11n_node root("settings", "KelComm::Serial::CommSettings");
    s11n_node& baud = root.add_child("baudRate");
    baud.class_name("long");
    baud.set("v", "9600");
    const std::string text = documentOf(root);
    EXPECT_NE(text.find("<s11n>"), std::string::npos) << text;
    EXPECT_NE(text.find("<node name=\"settings\" class=\"KelComm::Serial::CommSettings\">"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<property name=\"v\">9600</property>"), std::string::npos) << text;
}

TEST(XmlDocument, HandWrittenDocumentsWithCommentsAndSpacing)
{
    const s11n_node node = loaded(
        "<?xml version=\"1.0\"?>\n<!-- saved settings -->\n<s11n>\n  <node name=\"r\">\n"
        "    <!-- a comment --><property name=\"v\">  x  </property>\n"
        "    <node name=\"c\" class=\"k\"/>\n  </node>\n</s11n>\n");
    EXPECT_EQ(node.name(), "r");
    EXPECT_EQ(node.class_name(), "");
    EXPECT_EQ(node.get("v"), "  x  ");
    ASSERT_EQ(node.child_count(), 1u);
    EXPECT_EQ(node.child(0).class_name(), "k");
}

TEST(XmlDocument, WhatIsNotANodeDocumentIsRefused)
{
    const std::string wrapped = "<s11n><node name=\"r\">%</node></s11n>";
    const auto inNode = [&](const std::string& inner) {
        return wrapped.substr(0, wrapped.find('%')) + inner + wrapped.substr(wrapped.find('%') + 1);
    };
    const std::string documents[] = {
        "",
        "not xml",
        "<s11n><node name=\"r\">",
        "<other/>",
        "<s11n/>",
        "<s11n><node name=\"a\"/><node name=\"b\"/></s11n>",
        "<s11n><node name=\"a\"/></s11n><s11n/>",
        "<s11n>text<node name=\"a\"/></s11n>",
        "<s11n><node/></s11n>",
        "<s11n><node class=\"c\"/></s11n>",
        "<s11n><node name=\"a\" extra=\"1\"/></s11n>",
        inNode("<unknown/>"),
        inNode("text"),
        inNode("<property>v</property>"),
        inNode("<property name=\"p\"><node name=\"x\"/></property>"),
        inNode("<property name=\"p\">1</property><property name=\"p\">2</property>"),
        inNode("<property name=\"p\" class=\"c\">1</property>"),
    };
    for (const std::string& document : documents)
        EXPECT_EQ(loadFailure(document).rfind(L"s11n: ", 0), 0u) << document;
    EXPECT_NE(loadFailure("<s11n><node name=\"r\">").find(L"line"), std::wstring::npos);
}

TEST(XmlDocument, DeepNestingIsRefusedBeforeParsing)
{
    const std::wstring tooDeep = L"s11n: the document nests deeper than 256 elements";
    const auto nested = [](int depth) {
        return "<s11n>" + repeated("<node name=\"n\">", depth) + repeated("</node>", depth) + "</s11n>";
    };
    EXPECT_NO_THROW(loaded(nested(255)));
    EXPECT_EQ(loadFailure(nested(256)), tooDeep);
    EXPECT_EQ(loadFailure(repeated("<a>", 100000)), tooDeep);
    // Closing marks hidden in comments, sections, attribute values and doctypes close
    // nothing for the parser, so they must not for the count either.
    for (const char* opener : {"<a><!-- </a> -->", "<a><![CDATA[</a>]]>", "<a b=\"/>\" c='</a>'>",
                                      "<a><!DOCTYPE x [ <!ENTITY y '>'> </a> ]>", "<a><?pi </a> ?>", "<a><!--></a>-->"}) {
        EXPECT_EQ(loadFailure(repeated(opener, 100000)), tooDeep) << opener;
    }
}

TEST(XmlDocument, FilesRoundTrip)
{
    const auto file = std::filesystem::temp_directory_path() / ("s11n_test_" + std::to_string(::getpid()) + ".xml");
    s11n_node root("root", "C");
    root.add_child("child").set("v", "Значение");
    s11n::save_node(root, file);
    EXPECT_EQ(s11n::load_node(file), root);
    std::filesystem::remove(file);
    EXPECT_THROW(s11n::load_node(file), s11n::s11n_exception);
    EXPECT_THROW(s11n::save_node(root, file / "no" / "such" / "folder"), s11n::s11n_exception);
}

std::string contentOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Writes past this many bytes fail as on a full disk (EFBIG instead of ENOSPC) while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{bytes, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

// A save replaces the file only once the new document is whole on the disk: one refused
// for its content and one whose writing fails leave the old document as it was, with no
// other file behind. A symbolic link stays a link.
TEST(XmlDocument, ARefusedOrFailedSaveLeavesTheOldFileWhole)
{
    constexpr rlim_t diskRoom_bytes = 4096;
    char pattern[] = "/tmp/s11n-test-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    const auto file = folder / "settings.xml";
    s11n_node old("old", "C");
    old.set("v", "kept");
    s11n::save_node(old, file);
    const std::string before = contentOf(file);

    s11n_node withNul("new");
    withNul.set("v", std::string("a\0b", 3));
    EXPECT_THROW(s11n::save_node(withNul, file), s11n::s11n_exception);
    EXPECT_EQ(contentOf(file), before);

    s11n_node large("new");
    large.set("v", std::string(4 * diskRoom_bytes, 'x'));
    {
        const FileSizeLimit fullDisk(diskRoom_bytes);
        EXPECT_THROW(s11n::save_node(large, file), s11n::s11n_exception);
    }
    EXPECT_EQ(contentOf(file), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);

    const auto link = folder / "link.xml";
    std::filesystem::create_symlink("settings.xml", link);
    s11n::save_node(large, link);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(s11n::load_node(file), large);
    std::filesystem::remove_all(folder);
}

} // namespace
