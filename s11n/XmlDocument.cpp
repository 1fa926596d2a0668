#include "s11n/XmlDocument.h"

#include "baselib/platform/Conversion.h"
#include "s11n/FileReplacement.h"
#include "s11n/XmlDepth.h"

#include <boost/format.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <fstream>
#include <iterator>
#include <sstream>

namespace s11n {

namespace {

namespace xml = boost::property_tree::xml_parser;
using Tree = boost::property_tree::ptree;

const std::string documentElement = "s11n";
const std::string nodeElement = "node";
const std::string propertyElement = "property";
const std::string nameAttribute = "name";
const std::string classAttribute = "class";
const std::string attributesKey = xml::xmlattr<std::string>();
// Settings documents nest a few levels; this bound keeps hostile nesting off the stack.
constexpr unsigned int maxDepth = 256;

template <class... Args>
[[noreturn]] void fail(DocumentMessage code, const Args&... args)
{
    boost::wformat text(KelBase::resStr(code));
    if constexpr (sizeof...(Args) > 0)
        (text % ... % args);
    throw s11n_exception(text.str());
}

std::wstring wide(const std::string& utf8) { return KelBase::Conversion::stringFromUTF8(utf8); }

Tree element(const std::string& name, const std::string& className)
{
    Tree attributes;
    attributes.push_back({nameAttribute, Tree(name)});
    if (!className.empty())
        attributes.push_back({classAttribute, Tree(className)});
    Tree tree;
    tree.push_back({attributesKey, attributes});
    return tree;
}

bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// A NUL would end the document for the reader, so it is refused before anything is written.
void checkTexts(const s11n_node& node)
{
    bool nul = hasNul(node.name()) || hasNul(node.class_name());
    for (const auto& [key, value] : node.properties())
        nul = nul || hasNul(key) || hasNul(value);
    if (nul)
        fail(DocumentMessage::NulInText, wide(node.name()));
}

Tree toTree(const s11n_node& node)
{
    checkTexts(node);
    Tree tree = element(node.name(), node.class_name());
    for (const auto& [key, value] : node.properties()) {
        Tree property = element(key, std::string());
        property.data() = value;
        tree.push_back({propertyElement, property});
    }
    for (std::size_t index = 0; index < node.child_count(); ++index)
        tree.push_back({nodeElement, toTree(node.child(index))});
    return tree;
}

bool isBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// The name attribute of an element, and its class when it may have one.
std::string readAttributes(const Tree& tree, const std::string& elementName, std::string* className)
{
    const auto attributes = tree.find(attributesKey);
    if (attributes == tree.not_found())
        fail(DocumentMessage::NameMissing, wide(elementName));
    const Tree& list = attributes->second;
    std::string name;
    bool named = false;
    bool classGiven = false;
    for (const auto& [key, value] : list) {
        if (key == nameAttribute && !named) {
            name = value.data();
            named = true;
        } else if (key == classAttribute && className != nullptr && !classGiven) {
            *className = value.data();
            classGiven = true;
        } else {
            fail(DocumentMessage::UnexpectedAttribute, wide(key), wide(elementName));
        }
    }
    if (!named)
        fail(DocumentMessage::NameMissing, wide(elementName));
    return name;
}

void readProperty(const Tree& tree, s11n_node& node)
{
    const std::string key = readAttributes(tree, propertyElement, nullptr);
    for (const auto& [childKey, child] : tree)
        if (childKey != attributesKey)
            fail(DocumentMessage::UnexpectedElement, wide(childKey), wide(propertyElement));
    if (node.is_set(key))
        fail(DocumentMessage::DuplicateProperty, wide(key), wide(node.name()));
    node.set(key, tree.data());
}

void readNode(const Tree& tree, s11n_node& node)
{
    std::string className;
    node.name(readAttributes(tree, nodeElement, &className));
    node.class_name(className);
    if (!isBlank(tree.data()))
        fail(DocumentMessage::UnexpectedText, wide(nodeElement));
    for (const auto& [key, child] : tree) {
        if (key == nodeElement)
            readNode(child, node.add_child(std::string()));
        else if (key == propertyElement)
            readProperty(child, node);
        else if (key != attributesKey)
            fail(DocumentMessage::UnexpectedElement, wide(key), wide(nodeElement));
    }
}

s11n_node fromDocument(const Tree& document)
{
    if (document.size() != 1 || document.front().first != documentElement)
        fail(DocumentMessage::NotADocument);
    const Tree& body = document.front().second;
    if (body.size() != 1 || body.front().first != nodeElement || !isBlank(body.data()))
        fail(DocumentMessage::NotADocument);
    s11n_node root;
    readNode(body.front().second, root);
    return root;
}

} // namespace

void save_node(const s11n_node& root, std::ostream& out)
{
    Tree body;
    body.push_back({nodeElement, toTree(root)});
    Tree document;
    document.push_back({documentElement, body});
    try {
        xml::write_xml(out, document, xml::xml_writer_make_settings<std::string>('\t', 1));
        out << '\n';
    } catch (const xml::xml_parser_error&) {
        fail(DocumentMessage::CannotWrite);
    }
    if (!out)
        fail(DocumentMessage::CannotWrite);
}

void save_node(const s11n_node& root, const std::filesystem::path& file)
{
    // The whole document first, so that a refused one touches no file.
    std::ostringstream document;
    save_node(root, document);
    Internal::replaceFile(file, document.str());
}

s11n_node load_node(std::istream& in)
{
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (Internal::xmlElementDepth(text) > maxDepth)
        fail(DocumentMessage::TooDeep, maxDepth);
    Tree document;
    try {
        std::istringstream source(text);
        xml::read_xml(source, document, xml::no_comments);
    } catch (const xml::xml_parser_error& error) {
        fail(DocumentMessage::NotWellFormed, wide(error.message()), static_cast<unsigned long>(error.line()));
    }
    return fromDocument(document);
}

s11n_node load_node(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        fail(DocumentMessage::CannotOpen, file.wstring());
    return load_node(in);
}

} // namespace s11n
