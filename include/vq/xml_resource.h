// The XML resource system: vqXmlResource loads resource files and creates
// objects from their nodes through the vqXmlResourceHandler objects added to it.
//
// A resource file is an XML document whose root element is <resource>; each
// <object class="..." name="..."> element describes one object, its parameters
// are its child elements (<size>20,10</size>, <pos>5,5</pos>, <style>A|B</style>,
// <bitmap>file.png</bitmap>, ...) and nested <object> elements are its children.
#ifndef VQ_XML_RESOURCE_H
#define VQ_XML_RESOURCE_H

#include <memory>
#include <utility>
#include <vector>

#include "vq/window.h"

#ifdef VQMAKING_XMLRES
#define VQ_XMLRES_API VQ_EXPORT
#else
#define VQ_XMLRES_API VQ_IMPORT
#endif

class vqXmlResourceHandler;

// Bounds on what one resource file can make the loader read and make. Beyond any of
// them the loader logs one error (naming the file, and the line and object where one
// is concerned) and goes on with the default.

// The largest resource document, in bytes: a longer file or text is not loaded.
constexpr size_t vqXML_RESOURCE_MAX_BYTES = size_t(4) * 1024 * 1024;
// The longest side of a bitmap read for a node, asked for or scaled to.
constexpr int vqXML_RESOURCE_MAX_BITMAP_SIDE = 4096;
// The most pixels of one bitmap for a node: as a file's header gives them (checked
// before anything is decoded), and as scaled to or drawn as art.
constexpr size_t vqXML_RESOURCE_MAX_PICTURE_PIXELS = size_t(4096) * 4096;
// The most pixels the bitmaps of one loaded file may cost together, while it stays
// loaded: every pixel decoded from a bitmap file plus every pixel scaled or drawn.
// A bitmap file asked for again at the same size is answered from the first reading
// (kept until the resource file is unloaded) and costs nothing more.
constexpr size_t vqXML_RESOURCE_MAX_FILE_PIXELS = size_t(32) * 1024 * 1024;

// One element of a loaded resource file: its name, attributes, text and child
// elements. A node owns its children; the resource owns the root nodes.
class VQ_XMLRES_API vqXmlNode {
public:
    explicit vqXmlNode(const vqString& name, int lineNumber = 0);
    ~vqXmlNode();
    vqXmlNode(const vqXmlNode&) = delete;
    vqXmlNode& operator=(const vqXmlNode&) = delete;

    // The element name ("object", "size", ...).
    const vqString& GetName() const { return m_name; }
    // The text inside the element, its own text pieces joined.
    const vqString& GetNodeContent() const { return m_content; }
    void SetContent(const vqString& content) { m_content = content; }

    bool HasAttribute(const vqString& name) const;
    // The attribute's value, or defaultValue when the element has none.
    vqString GetAttribute(const vqString& name, const vqString& defaultValue = vqString()) const;
    void AddAttribute(const vqString& name, const vqString& value);

    // Appends a child, which the node owns from then on.
    void AddChild(vqXmlNode* child);
    const std::vector<vqXmlNode*>& GetChildren() const { return m_children; }
    vqXmlNode* GetParent() const { return m_parent; }

    // The line of the element in its file (1 for the first line, 0 when unknown).
    int GetLineNumber() const { return m_lineNumber; }
    // The file the node was loaded from, kept on the root node; "<string>" for text.
    vqString GetFileName() const;
    void SetFileName(const vqString& fileName) { m_fileName = fileName; }

private:
    vqString m_name;
    vqString m_content;
    std::vector<std::pair<vqString, vqString>> m_attributes;
    std::vector<vqXmlNode*> m_children;
    vqXmlNode* m_parent;
    int m_lineNumber;
    vqString m_fileName;
};

// The resource loader: holds loaded resource files and the handlers that turn
// their nodes into objects. It owns the handlers added to it and the nodes.
class VQ_XMLRES_API vqXmlResource : public vqObject {
public:
    // An empty loader. Registers a PNG image handler when none is, so that
    // bitmap parameters can be read.
    vqXmlResource();
    // Deletes the handlers and the loaded documents (not the objects created).
    ~vqXmlResource() override;
    vqXmlResource(const vqXmlResource&) = delete;
    vqXmlResource& operator=(const vqXmlResource&) = delete;

    // Adds a handler, asked after those added before; the loader owns it.
    void AddHandler(vqXmlResourceHandler* handler);
    // Adds a handler asked before all others; the loader owns it.
    void InsertHandler(vqXmlResourceHandler* handler);
    // Deletes every handler.
    void ClearHandlers();
    // Adds the handlers of the toolkit's own resource classes ("vqPanel").
    void InitAllHandlers();
    size_t GetHandlerCount() const { return m_handlers.size(); }

    // Loads a resource file and keeps it beside those loaded before. False, with
    // one logged error naming the file (and the line where parsing stopped),
    // when it cannot be read, is not a regular file (a device, FIFO or directory is
    // refused without reading from it), is longer than vqXML_RESOURCE_MAX_BYTES, is
    // not XML or has no <resource> root.
    bool Load(const vqString& fileName);
    // Loads a resource document from text; bitmap files are looked up in baseDir
    // (the current directory when empty). Errors as for Load, naming "<string>";
    // the text's UTF-8 form may be at most vqXML_RESOURCE_MAX_BYTES long.
    bool LoadFromString(const vqString& text, const vqString& baseDir = vqString());
    // Forgets a loaded file and releases the bitmaps kept for it; false when it was
    // not loaded.
    bool Unload(const vqString& fileName);

    // Creates the object named name (and of class className unless that is empty)
    // as a child of parent. Null, with a logged error, when no such resource is
    // loaded or no handler creates it. Windows created with a parent belong to it.
    vqObject* LoadObject(vqWindow* parent, const vqString& name, const vqString& className);
    // Fills in an existing instance from the named resource instead of creating
    // an object. True when the handler produced an object.
    bool LoadObject(vqObject* instance, vqWindow* parent, const vqString& name,
                    const vqString& className);

    // The object node of that name (and class, unless empty): the top-level
    // objects first, in load order, then nested ones. Null when none.
    vqXmlNode* FindResource(const vqString& name, const vqString& className) const;
    // Creates an object from a node through the first handler that can handle it
    // (handlerToUse first when given). With no instance, a "subclass" attribute
    // names a registered class to create and fill in. Null when nothing was created.
    vqObject* CreateResFromNode(vqXmlNode* node, vqObject* parent, vqObject* instance = nullptr,
                                vqXmlResourceHandler* handlerToUse = nullptr);

    // The directory against which a node's relative file names are resolved.
    vqString GetBaseDir(const vqXmlNode* node) const;

    // The identifier of a named resource, the same number for the same name
    // throughout the process; vqID_ANY for "" and "-1".
    static int GetResourceId(const vqString& name);

private:
    friend class vqXmlResourceHandler;
    // What the bitmaps of one loaded file have cost, and the bitmaps kept for reuse.
    struct BitmapAccount;
    struct Document {
        vqString fileName;
        vqString baseDir;
        vqXmlNode* root;
        std::shared_ptr<BitmapAccount> bitmaps;
    };
    bool Parse(const std::string& bytes, const vqString& fileName, const vqString& baseDir);
    // The loaded document that holds node; null when none does.
    const Document* FindDocument(const vqXmlNode* node) const;
    // The account of the file node was loaded from; null for a node of no loaded file.
    BitmapAccount* GetBitmapAccount(const vqXmlNode* node) const;

    std::vector<vqXmlResourceHandler*> m_handlers;
    std::vector<Document> m_documents;
    int m_depth;
};

// The identifier of a named resource, as vqXmlResource::GetResourceId.
#define vqResourceId(name) vqXmlResource::GetResourceId(vqT(name))

// Creates objects of one or more resource classes. A loader asks CanHandle with
// a node, then CreateResource, which makes the node, parent and instance current
// and calls DoCreateResource. The parameter operations read the current node.
class VQ_XMLRES_API vqXmlResourceHandler : public vqObject {
    VQ_DECLARE_ABSTRACT_CLASS(vqXmlResourceHandler)
public:
    vqXmlResourceHandler();
    ~vqXmlResourceHandler() override;

    // Creates (or fills in) the object for the current node and returns it, or null.
    virtual vqObject* DoCreateResource() = 0;
    // True when this handler creates objects of the node's class.
    virtual bool CanHandle(vqXmlNode* node) = 0;

    // Makes node, parent and instance current, calls DoCreateResource and restores
    // the previous ones (handlers are re-entered for nested objects).
    vqObject* CreateResource(vqXmlNode* node, vqObject* parent, vqObject* instance);
    // Set by the loader the handler is added to.
    void SetParentResource(vqXmlResource* resource) { m_resource = resource; }
    vqXmlResource* GetResource() const { return m_resource; }

    // The current node, parent and instance, as CreateResource set them.
    vqXmlNode* GetNode() const { return m_node; }
    vqObject* GetParent() const { return m_parent; }
    vqObject* GetInstance() const { return m_instance; }
    vqWindow* GetParentAsWindow() const { return m_parentAsWindow; }

    // True when the node is an object of that class.
    bool IsOfClass(vqXmlNode* node, const vqString& className) const;

    // Parameter operations. Each reads a child element of the current node. A
    // missing parameter gives the stated default silently; a malformed one logs
    // one error naming the file, line, object and parameter, and gives the default.

    // Registers a style name and its value for GetStyle.
    void AddStyle(const vqString& name, long value);
    // Registers the common window style names (vqBORDER_*, vqTAB_TRAVERSAL, ...).
    void AddWindowStyles();
    // The style: registered names joined with '|'. Unknown (or empty) names are
    // skipped, with one logged error for the whole value however many there are;
    // defaults when the parameter is missing or empty.
    long GetStyle(const vqString& param = vqT("style"), long defaults = 0);
    // The object's name attribute ("" when none).
    vqString GetName();
    // The identifier of the object's name (GetResourceId).
    int GetID();
    // "w,h" in pixels; -1 for a dimension left to the control. Default (-1, -1).
    // windowToUse is accepted for compatibility; dialog units are not supported.
    vqSize GetSize(const vqString& param = vqT("size"), vqWindow* windowToUse = nullptr);
    // "x,y" in pixels. Default (-1, -1).
    vqPoint GetPosition(const vqString& param = vqT("pos"));
    // A bitmap from a file (PNG), relative to the resource file's directory, or
    // from the art provider when the element has a stock_id attribute (with an
    // optional stock_client, else defaultArtClient). Scaled to size unless that is
    // (-1, -1); a -1 dimension keeps the aspect ratio. A missing parameter gives a
    // bitmap without data silently; a file that is missing, unreadable or not a
    // regular file, and anything beyond the vqXML_RESOURCE_MAX_* bounds (a side,
    // a picture's pixels, the pixels of the node's file), give one without data and
    // a logged error naming the file, line, object and bitmap.
    vqBitmap GetBitmap(const vqString& param = vqT("bitmap"),
                       const vqString& defaultArtClient = vqT("vqART_OTHER_C"),
                       vqSize size = vqSize(-1, -1));
    // "1" or "0". Default defaultValue.
    bool GetBool(const vqString& param, bool defaultValue = false);
    // A decimal integer. Default defaultValue.
    long GetLong(const vqString& param, long defaultValue = 0);
    // "#RRGGBB". Default: the invalid colour.
    vqColour GetColour(const vqString& param);
    // The parameter's text, "" when missing.
    vqString GetText(const vqString& param);
    bool HasParam(const vqString& param);
    // The parameter's element, null when missing.
    vqXmlNode* GetParamNode(const vqString& param);

    // Applies the common window parameters: "enabled" (default 1), "hidden"
    // (default 0), "tooltip", "fg" and "bg" colours.
    void SetupWindow(vqWindow* window);
    // Creates the current node's child objects with parent as their parent.
    void CreateChildren(vqObject* parent);
    // Logs one error about the current node, naming file, line, class and name.
    void ReportError(const vqString& message);
    // As ReportError, about one of the current node's parameters.
    void ReportParamError(const vqString& param, const vqString& message);

protected:
    vqXmlResource* m_resource;
    vqXmlNode* m_node;
    vqString m_class;
    vqObject* m_parent;
    vqObject* m_instance;
    vqWindow* m_parentAsWindow;
    std::vector<std::pair<vqString, long>> m_styles;
};

// Creates vqPanel objects from nodes of class "vqPanel", with their children.
class VQ_XMLRES_API vqPanelXmlHandler : public vqXmlResourceHandler {
    VQ_DECLARE_DYNAMIC_CLASS(vqPanelXmlHandler)
public:
    vqPanelXmlHandler();
    vqObject* DoCreateResource() override;
    bool CanHandle(vqXmlNode* node) override;
};

#endif
