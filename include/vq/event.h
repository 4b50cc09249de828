// Events and static event tables: an event carries a type, a window identifier and
// the object it came from; a class's table lists (type, identifier range, handler)
// entries and names its base class's table, and a lookup table built over it finds
// the handlers of an event type quickly.
#ifndef VQ_EVENT_H
#define VQ_EVENT_H

#include <unordered_map>
#include <vector>

#include "vq/gdi.h"

class vqEvtHandler;
class vqWindow;

typedef int vqEventType;
constexpr vqEventType vqEVT_NULL = 0;
constexpr vqEventType vqEVT_SIZE = 1;
constexpr vqEventType vqEVT_PALETTE_CHANGED = 2;
constexpr vqEventType vqEVT_QUERY_NEW_PALETTE = 3;

class VQ_CORE_API vqEvent : public vqObject {
public:
    vqEvent(int id = 0, vqEventType type = vqEVT_NULL)
        : m_eventType(type), m_id(id), m_eventObject(nullptr), m_skipped(false) {}
    ~vqEvent() override;

    vqEventType GetEventType() const { return m_eventType; }
    void SetEventType(vqEventType type) { m_eventType = type; }
    int GetId() const { return m_id; }
    void SetId(int id) { m_id = id; }
    vqObject* GetEventObject() const { return m_eventObject; }
    void SetEventObject(vqObject* object) { m_eventObject = object; }
    // A handler that skips the event lets the search for handlers go on.
    void Skip(bool skip = true) { m_skipped = skip; }
    bool GetSkipped() const { return m_skipped; }

private:
    vqEventType m_eventType;
    int m_id;
    vqObject* m_eventObject;
    bool m_skipped;
};

// A window's client size changed.
class VQ_CORE_API vqSizeEvent : public vqEvent {
public:
    vqSizeEvent(const vqSize& size = vqSize(), int id = 0)
        : vqEvent(id, vqEVT_SIZE), m_size(size) {}
    vqSize GetSize() const { return m_size; }

private:
    vqSize m_size;
};

// Some window changed the system palette; names that window (null when unknown).
class VQ_CORE_API vqPaletteChangedEvent : public vqEvent {
public:
    vqPaletteChangedEvent(int id = 0)
        : vqEvent(id, vqEVT_PALETTE_CHANGED), m_changedWindow(nullptr) {}
    void SetChangedWindow(vqWindow* window) { m_changedWindow = window; }
    vqWindow* GetChangedWindow() const { return m_changedWindow; }

private:
    vqWindow* m_changedWindow;
};

// The window may realize its palette now; the handler says whether it did.
class VQ_CORE_API vqQueryNewPaletteEvent : public vqEvent {
public:
    vqQueryNewPaletteEvent(int id = 0)
        : vqEvent(id, vqEVT_QUERY_NEW_PALETTE), m_paletteRealized(false) {}
    void SetPaletteRealized(bool realized) { m_paletteRealized = realized; }
    bool GetPaletteRealized() const { return m_paletteRealized; }

private:
    bool m_paletteRealized;
};

// Calls a handler on the object that owns the table.
typedef void (*vqEventCaller)(vqEvtHandler* handler, vqEvent& event);

// One entry of a static table: event type, identifier range (-1 = any) and handler.
struct vqEventTableEntry {
    vqEventType m_eventType;
    int m_id;
    int m_lastId;
    vqEventCaller m_fn;
    vqObject* m_callbackUserData;
};

// A class's table: its entries, ended by a vqEVT_NULL entry, and its base's table.
struct vqEventTable {
    const vqEventTable* baseTable;
    const vqEventTableEntry* entries;
};

// The handlers of each event type, gathered from a table and its bases, most derived
// first. Built on first use, so it may be constructed before the entries are filled.
class VQ_CORE_API vqEventHashTable {
public:
    explicit vqEventHashTable(const vqEventTable& table);
    ~vqEventHashTable();
    vqEventHashTable(const vqEventHashTable&) = delete;
    vqEventHashTable& operator=(const vqEventHashTable&) = delete;

    // Calls the matching handlers in order until one does not skip the event; true then.
    bool HandleEvent(vqEvent& event, vqEvtHandler* self);
    // The entries for one event type, most derived table first.
    const std::vector<const vqEventTableEntry*>& GetEntries(vqEventType type);

private:
    void Build();

    const vqEventTable& m_table;
    bool m_built;
    std::unordered_map<vqEventType, std::vector<const vqEventTableEntry*>> m_byType;
};

template <class T>
struct vqEventHandlerTraits;
template <class C, class E>
struct vqEventHandlerTraits<void (C::*)(E&)> {
    typedef C Class;
    typedef E Event;
};

// Calls a member handler with the event cast to the handler's own event class.
template <auto Method>
void vqEventCall(vqEvtHandler* handler, vqEvent& event) {
    typedef vqEventHandlerTraits<decltype(Method)> Traits;
    (static_cast<typename Traits::Class*>(handler)->*Method)(
        static_cast<typename Traits::Event&>(event));
}

// Declares a class's static table, its lookup table and their virtual accessors.
#define VQ_DECLARE_EVENT_TABLE()                           \
public:                                                    \
    static const vqEventTableEntry sm_eventTableEntries[]; \
    static const vqEventTable sm_eventTable;               \
    static vqEventHashTable sm_eventHashTable;             \
                                                           \
protected:                                                 \
    const vqEventTable* GetEventTable() const override;    \
    vqEventHashTable& GetEventHashTable() const override;  \
                                                           \
private:

#define VQ_BEGIN_EVENT_TABLE(theClass, baseClass)                                                 \
    const vqEventTable theClass::sm_eventTable = {&baseClass::sm_eventTable,                      \
                                                  &theClass::sm_eventTableEntries[0]};            \
    const vqEventTable* theClass::GetEventTable() const { return &theClass::sm_eventTable; }      \
    vqEventHashTable theClass::sm_eventHashTable(theClass::sm_eventTable);                        \
    vqEventHashTable& theClass::GetEventHashTable() const { return theClass::sm_eventHashTable; } \
    const vqEventTableEntry theClass::sm_eventTableEntries[] = {
#define VQ_END_EVENT_TABLE()               \
    { vqEVT_NULL, 0, 0, nullptr, nullptr } \
    }                                      \
    ;

#define VQ_EVENT_TABLE_ENTRY(type, id, lastId, method) \
    {type, id, lastId, &vqEventCall<&method>, nullptr},
#define VQ_EVT_SIZE(method) VQ_EVENT_TABLE_ENTRY(vqEVT_SIZE, vqID_ANY, vqID_ANY, method)
#define VQ_EVT_PALETTE_CHANGED(method) \
    VQ_EVENT_TABLE_ENTRY(vqEVT_PALETTE_CHANGED, vqID_ANY, vqID_ANY, method)
#define VQ_EVT_QUERY_NEW_PALETTE(method) \
    VQ_EVENT_TABLE_ENTRY(vqEVT_QUERY_NEW_PALETTE, vqID_ANY, vqID_ANY, method)

#endif
