// Image file handlers: a registry of handlers by bitmap type, used by
// vqBitmap::SaveFile and vqBitmap::LoadFile.
#ifndef VQ_IMAGE_H
#define VQ_IMAGE_H

#include "vq/file.h"
#include "vq/gdi.h"

// Reads and writes one file format.
class VQ_CORE_API vqImageHandler : public vqObject {
public:
    vqImageHandler(const vqString& name, int type) : m_name(name), m_type(type) {}
    ~vqImageHandler() override;
    const vqString& GetName() const { return m_name; }
    int GetType() const { return m_type; }
    // Writes the bitmap to a file; false (and a logged error) on failure.
    virtual bool SaveFile(const vqBitmap& bitmap, const vqString& fileName) = 0;
    // Writes the bitmap into a stream the caller opened and closes; fileName names it
    // in messages. False (and a logged error) on failure. This base version cannot.
    virtual bool SaveStream(const vqBitmap& bitmap, vqFileOutputStream& stream,
                            const vqString& fileName);
    // Reads a file into the bitmap; false (and a logged error) on failure.
    virtual bool LoadFile(vqBitmap* bitmap, const vqString& fileName) = 0;
    // True when the first bytes of a file look like this format.
    virtual bool CanRead(const unsigned char* header, size_t size) const = 0;

private:
    vqString m_name;
    int m_type;
};

class VQ_CORE_API vqImage {
public:
    // Takes ownership of the handler. A second handler of a type already held is
    // deleted at once, so handlers never pile up.
    static void AddHandler(vqImageHandler* handler);
    // The handler of that type, or null; not owned by the caller.
    static vqImageHandler* FindHandler(int type);
    // The handler that recognises the file's first bytes, or null.
    static vqImageHandler* FindHandlerForFile(const vqString& fileName);
    static size_t GetHandlerCount();
    // Deletes every handler.
    static void CleanUpHandlers();
};

#endif
