// The XML reader over XmlLite, which Windows has in xmllite.dll: the document is
// read node by node from a stream over the bytes, each element handed over as read.
#include "vq/platform/windows_fixups.h"

#include <objidl.h>
#include <xmllite.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "xml_reader.h"

namespace {

// NOTE: MinGW has the header but no import library for xmllite.dll, so its one entry
// point is bound when first needed.
using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateXmlReaderFunction BindCreateXmlReader() {
    static const CreateXmlReaderFunction bound = []() -> CreateXmlReaderFunction {
        HMODULE module = LoadLibraryW(L"xmllite.dll");
        if (!module) return nullptr;
        return reinterpret_cast<CreateXmlReaderFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "CreateXmlReader")));
    }();
    return bound;
}

// A read-only stream over bytes that outlive it; lives on the stack, so counting
// references only keeps COM's rules.
class ByteStream : public ISequentialStream {
public:
    explicit ByteStream(const std::string& bytes) : m_bytes(bytes) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream)) {
            *object = static_cast<ISequentialStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        const size_t left = m_bytes.size() - m_at;
        const ULONG n = left < size ? static_cast<ULONG>(left) : size;
        memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        if (read) *read = n;
        return n < size ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
        return STG_E_ACCESSDENIED;
    }
    ULONG References() const { return m_references; }

private:
    const std::string& m_bytes;
    size_t m_at = 0;
    ULONG m_references = 1;
};

std::string Utf8(const WCHAR* text, UINT length) {
    if (!text || length == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], n, nullptr,
                            nullptr);
    return out;
}

std::string QualifiedName(IXmlReader* reader) {
    const WCHAR* name = nullptr;
    UINT length = 0;
    return SUCCEEDED(reader->GetQualifiedName(&name, &length)) ? Utf8(name, length) : std::string();
}

std::string Value(IXmlReader* reader) {
    const WCHAR* value = nullptr;
    UINT length = 0;
    return SUCCEEDED(reader->GetValue(&value, &length)) ? Utf8(value, length) : std::string();
}

// What went wrong, in words, for the errors a hand-written resource file is likely to have.
std::string Describe(HRESULT result) {
    switch (static_cast<unsigned long>(result)) {
        case MX_E_INPUTEND:
            return "Unexpected end of data";
        case MX_E_ENCODING:
        case MX_E_ENCODINGSWITCH:
        case MX_E_ENCODINGSIGNATURE:
            return "Unsupported or invalid encoding";
        case WC_E_ELEMENTMATCH:
            return "Start-end tags mismatch";
        case WC_E_GREATERTHAN:
            return "Expected '>'";
        case WC_E_LESSTHAN:
            return "Unexpected '<'";
        case WC_E_QUOTE:
            return "Expected a quote around the attribute value";
        case WC_E_EQUAL:
            return "Expected '=' after the attribute name";
        case WC_E_WHITESPACE:
            return "Expected whitespace";
        case WC_E_SEMICOLON:
            return "Expected ';' after the reference";
        case WC_E_NAME:
        case WC_E_NAMECHARACTER:
            return "Error parsing a name";
        case WC_E_XMLCHARACTER:
            return "A character XML does not allow";
        case WC_E_UNIQUEATTRIBUTE:
            return "Duplicate attribute";
        case WC_E_ROOTELEMENT:
            return "Error after the document element";
        case WC_E_COMMENT:
            return "Error parsing a comment";
        case WC_E_CDSECT:
            return "Error parsing a CDATA section";
        case WC_E_XMLDECL:
            return "Error parsing the XML declaration";
        case WC_E_UNDECLAREDENTITY:
            return "An undeclared entity";
        case WC_E_DTDPROHIBITED:
            return "A document type declaration, which resource files may not have";
        case WC_E_SYNTAX:
            return "Syntax error";
        case NC_E_QNAMECHARACTER:
        case NC_E_QNAMECOLON:
        case NC_E_NAMECOLON:
            return "Error parsing a qualified name";
        case NC_E_UNDECLAREDPREFIX:
            return "An undeclared namespace prefix";
        default:
            break;
    }
    char text[64];
    snprintf(text, sizeof text, "XmlLite error 0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// The line of the last character that is not whitespace, where a document cut short ends.
UINT LastLine(const std::string& bytes) {
    size_t end = bytes.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) return 1;
    return static_cast<UINT>(std::count(bytes.begin(), bytes.begin() + end, '\n')) + 1;
}

// Reads the document node by node; false with *error at the first fault.
bool ReadNodes(IXmlReader* reader, const std::string& bytes, vqxml::Handler& handler,
               vqxml::Error* error) {
    using Place = std::pair<UINT, UINT>;  // line and column
    bool rootSeen = false;
    // Where each open element started.
    std::vector<Place> open;
    XmlNodeType type = XmlNodeType_None, lastType = XmlNodeType_None;
    Place last(0, 0);
    // Every node takes at least one character: a bound however the reader misbehaves.
    size_t nodesLeft = bytes.size() + 1;
    bool cutShort = false;
    HRESULT result;
    while ((result = reader->Read(&type)) == S_OK) {
        Place place(0, 0);
        reader->GetLineNumber(&place.first);
        reader->GetLinePosition(&place.second);
        // NOTE: when the input ends inside an element, Wine's XmlLite hands out the last
        // node again and again, or ends the open elements at the places where they
        // started, as if they were closed there; a real end tag comes after its start.
        const bool repeated = type == lastType && place == last;
        const bool unclosed =
            type == XmlNodeType_EndElement && !open.empty() && open.back() == place;
        if (repeated || unclosed || nodesLeft-- == 0) {
            cutShort = true;
            break;
        }
        lastType = type;
        last = place;
        if (type == XmlNodeType_Element) {
            rootSeen = true;
            const std::string name = QualifiedName(reader);
            // NOTE: an empty element has no end node; ask before moving to its attributes.
            const bool empty = reader->IsEmptyElement();
            vqxml::Attributes attributes;
            for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK;
                 at = reader->MoveToNextAttribute())
                attributes.emplace_back(QualifiedName(reader), Value(reader));
            reader->MoveToElement();
            handler.StartElement(name, static_cast<int>(place.first), attributes);
            if (empty)
                handler.EndElement();
            else
                open.push_back(place);
        } else if (type == XmlNodeType_EndElement) {
            handler.EndElement();
            if (!open.empty()) open.pop_back();
        } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA) {
            handler.Text(Value(reader));
        }
    }
    // The end of the input with elements still open is a document cut short too.
    if (SUCCEEDED(result) && !open.empty()) cutShort = true;
    if (cutShort) result = MX_E_INPUTEND;
    UINT line = 0;
    if (cutShort)
        line = LastLine(bytes);
    else if (FAILED(result))
        reader->GetLineNumber(&line);
    if (!rootSeen && (SUCCEEDED(result) || result == static_cast<HRESULT>(MX_E_INPUTEND))) {
        error->line = line > 0 ? static_cast<int>(line) : 1;
        error->description = "No document element found";
        return false;
    }
    if (FAILED(result)) {
        error->line = static_cast<int>(line);
        error->description = Describe(result);
        return false;
    }
    return true;
}

}  // namespace

namespace vqxml {

bool ParseDocument(const std::string& bytes, Handler& handler, Error* error) {
    CreateXmlReaderFunction create = BindCreateXmlReader();
    IXmlReader* reader = nullptr;
    if (!create ||
        FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr))) {
        error->line = 0;
        error->description = "no XML reader: xmllite.dll cannot be loaded";
        return false;
    }
    ByteStream stream(bytes);
    // No document type declarations, as with the other backend's entities left
    // unexpanded; depth is bounded by the loader, not by XmlLite's 256.
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0);
    bool ok = false;
    if (FAILED(reader->SetInput(&stream))) {
        error->line = 0;
        error->description = "no XML reader: XmlLite refused the input";
    } else {
        ok = ReadNodes(reader, bytes, handler, error);
    }
    reader->SetInput(nullptr);
    reader->Release();
    return ok;
}

}  // namespace vqxml
