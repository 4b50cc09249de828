// The XML reader over pugixml: the whole document is parsed first, then its root
// element is walked without recursion, so any depth is handed over.
#include <pugixml.hpp>

#include <algorithm>

#include "xml_reader.h"

namespace {

// Line numbers of byte offsets, from the offsets at which lines start.
class LineIndex {
public:
    explicit LineIndex(const std::string& bytes) {
        m_starts.push_back(0);
        for (size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\n') m_starts.push_back(i + 1);
    }
    int LineOf(ptrdiff_t offset) const {
        if (offset < 0) return 0;
        auto it = std::upper_bound(m_starts.begin(), m_starts.end(), static_cast<size_t>(offset));
        return static_cast<int>(it - m_starts.begin());
    }

private:
    std::vector<size_t> m_starts;
};

void Start(const pugi::xml_node& element, const LineIndex& lines, vqxml::Handler& handler) {
    vqxml::Attributes attributes;
    for (const pugi::xml_attribute& attr : element.attributes())
        attributes.emplace_back(attr.name(), attr.value());
    handler.StartElement(element.name(), lines.LineOf(element.offset_debug()), attributes);
}

}  // namespace

namespace vqxml {

bool ParseDocument(const std::string& bytes, Handler& handler, Error* error) {
    pugi::xml_document doc;
    pugi::xml_parse_result result =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    LineIndex lines(bytes);
    if (!result) {
        error->line = lines.LineOf(result.offset);
        error->description = result.description();
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    Start(root, lines, handler);
    // Walk the tree in document order: down into elements, across, then back up.
    pugi::xml_node node = root.first_child();
    while (node && node != root) {
        bool descended = false;
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            handler.Text(node.value());
        } else if (node.type() == pugi::node_element) {
            Start(node, lines, handler);
            if (node.first_child()) {
                node = node.first_child();
                descended = true;
            } else {
                handler.EndElement();
            }
        }
        if (descended) continue;
        while (node != root && !node.next_sibling()) {
            node = node.parent();
            if (node != root) handler.EndElement();
        }
        if (node != root) node = node.next_sibling();
    }
    handler.EndElement();
    return true;
}

}  // namespace vqxml
