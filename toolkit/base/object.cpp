#include "vq/object.h"

#include <map>

namespace {

std::map<vqString, vqClassInfo*>& Registry() {
    static std::map<vqString, vqClassInfo*> registry;
    return registry;
}

}  // namespace

vqClassInfo* vqClassInfo::sm_first = nullptr;

vqClassInfo::vqClassInfo(const vqChar* className, const vqClassInfo* baseInfo1,
                         const vqClassInfo* baseInfo2, int size, vqObjectConstructorFn ctor)
    : m_className(className),
      m_objectSize(size),
      m_objectConstructor(ctor),
      m_baseInfo1(baseInfo1),
      m_baseInfo2(baseInfo2),
      m_next(sm_first) {
    sm_first = this;
    Register();
}

vqClassInfo::~vqClassInfo() {
    Unregister();
    // Unlink from the chain; records usually go in reverse order of linking.
    for (vqClassInfo** link = &sm_first; *link; link = &(*link)->m_next) {
        if (*link == this) {
            *link = m_next;
            break;
        }
    }
}

void vqClassInfo::Register() { Registry()[vqString(m_className)] = this; }

void vqClassInfo::Unregister() {
    auto& registry = Registry();
    auto it = registry.find(vqString(m_className));
    if (it != registry.end() && it->second == this) registry.erase(it);
}

bool vqClassInfo::IsKindOf(const vqClassInfo* info) const {
    if (!info) return false;
    if (info == this) return true;
    return (m_baseInfo1 && m_baseInfo1->IsKindOf(info)) ||
           (m_baseInfo2 && m_baseInfo2->IsKindOf(info));
}

vqClassInfo* vqClassInfo::FindClass(const vqString& className) {
    auto& registry = Registry();
    auto it = registry.find(className);
    return it == registry.end() ? nullptr : it->second;
}

vqObject* vqClassInfo::CreateObject(const vqString& className) {
    vqClassInfo* info = FindClass(className);
    return info ? info->CreateObject() : nullptr;
}

vqObjectRefData::~vqObjectRefData() {}

vqClassInfo vqObject::ms_classInfo(vqT("vqObject"), nullptr, nullptr, (int)sizeof(vqObject),
                                   nullptr);
vqClassInfo* vqObject::GetClassInfo() const { return &vqObject::ms_classInfo; }

vqObject::~vqObject() { UnRef(); }

void vqObject::Ref(const vqObject& other) {
    if (m_refData == other.m_refData) return;
    UnRef();
    m_refData = other.m_refData;
    if (m_refData) m_refData->IncRef();
}

void vqObject::UnRef() {
    if (m_refData) {
        m_refData->DecRef();
        m_refData = nullptr;
    }
}

void vqObject::AllocExclusive() {
    if (!m_refData) {
        m_refData = CreateRefData();
    } else if (m_refData->GetRefCount() > 1) {
        vqObjectRefData* copy = CloneRefData(m_refData);
        if (copy) {
            m_refData->DecRef();
            m_refData = copy;
        }
    }
}
