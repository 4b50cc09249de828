// Events, the static event tables of vqEvtHandler and vqWindow, their lookup tables
// and event processing.
#include "vq/event.h"

#include "vq/window.h"

vqEvent::~vqEvent() {}

vqEventHashTable::vqEventHashTable(const vqEventTable& table) : m_table(table), m_built(false) {}

vqEventHashTable::~vqEventHashTable() {}

void vqEventHashTable::Build() {
    m_built = true;
    for (const vqEventTable* table = &m_table; table; table = table->baseTable) {
        if (!table->entries) continue;
        for (const vqEventTableEntry* e = table->entries; e->m_fn; ++e)
            m_byType[e->m_eventType].push_back(e);
    }
}

const std::vector<const vqEventTableEntry*>& vqEventHashTable::GetEntries(vqEventType type) {
    if (!m_built) Build();
    return m_byType[type];
}

bool vqEventHashTable::HandleEvent(vqEvent& event, vqEvtHandler* self) {
    if (!m_built) Build();
    auto found = m_byType.find(event.GetEventType());
    if (found == m_byType.end()) return false;
    for (const vqEventTableEntry* e : found->second) {
        bool anyId = e->m_id == vqID_ANY;
        int last = e->m_lastId == vqID_ANY ? e->m_id : e->m_lastId;
        if (!anyId && (event.GetId() < e->m_id || event.GetId() > last)) continue;
        event.Skip(false);
        e->m_fn(self, event);
        if (!event.GetSkipped()) return true;
    }
    return false;
}

const vqEventTableEntry vqEvtHandler::sm_eventTableEntries[] = {
    {vqEVT_NULL, 0, 0, nullptr, nullptr}};
const vqEventTable vqEvtHandler::sm_eventTable = {nullptr, &vqEvtHandler::sm_eventTableEntries[0]};
vqEventHashTable vqEvtHandler::sm_eventHashTable(vqEvtHandler::sm_eventTable);

const vqEventTable* vqEvtHandler::GetEventTable() const { return &sm_eventTable; }
vqEventHashTable& vqEvtHandler::GetEventHashTable() const { return sm_eventHashTable; }

bool vqEvtHandler::ProcessEvent(vqEvent& event) {
    if (!m_evtHandlerEnabled) return false;
    return GetEventHashTable().HandleEvent(event, this);
}

VQ_BEGIN_EVENT_TABLE(vqWindow, vqEvtHandler)
VQ_END_EVENT_TABLE()
