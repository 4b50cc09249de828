// Reading a resource document's XML, one backend per system: pugixml_reader.cpp
// (pugixml) and xmllite_reader.cpp (XmlLite); CMake builds the one that fits. Not
// installed.
#ifndef VQ_RESOURCE_XML_READER_H
#define VQ_RESOURCE_XML_READER_H

#include <string>
#include <utility>
#include <vector>

namespace vqxml {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Receives the elements and text of a document in document order, all as UTF-8.
class Handler {
public:
    virtual ~Handler() = default;
    // An element starts on a line (1 for the first); its attributes in document order.
    virtual void StartElement(const std::string& name, int line, const Attributes& attributes) = 0;
    // Character data (text or CDATA) of the innermost open element. Text of nothing
    // but whitespace is not reported; comments and processing instructions neither.
    virtual void Text(const std::string& text) = 0;
    // The innermost open element ends.
    virtual void EndElement() = 0;
};

// Where and why a document is not well-formed.
struct Error {
    // 1 for the first line, 0 when unknown.
    int line = 0;
    std::string description;
};

// Parses a whole document (its encoding from a byte order mark or the declaration,
// UTF-8 by default) and hands its root element, with everything in it, to handler.
// False with *error when the document is not well-formed or has no element; what the
// handler received by then is incomplete and is to be thrown away.
bool ParseDocument(const std::string& bytes, Handler& handler, Error* error);

}  // namespace vqxml

#endif
