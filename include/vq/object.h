// vqObject with shared reference-counted data, and the class records of the
// run-time class registry.
#ifndef VQ_OBJECT_H
#define VQ_OBJECT_H

#include "vq/string.h"

class vqObject;
typedef vqObject* (*vqObjectConstructorFn)();

// A class record: name, base records by name, instance size and an optional factory.
// Records link themselves at the head of sm_first and register on construction.
class VQ_BASE_API vqClassInfo {
public:
    vqClassInfo(const vqChar* className, const vqClassInfo* baseInfo1, const vqClassInfo* baseInfo2,
                int size, vqObjectConstructorFn ctor);
    ~vqClassInfo();

    vqObject* CreateObject() const { return m_objectConstructor ? m_objectConstructor() : nullptr; }
    bool IsDynamic() const { return m_objectConstructor != nullptr; }
    const vqChar* GetClassName() const { return m_className; }
    const vqClassInfo* GetBaseClass1() const { return m_baseInfo1; }
    const vqClassInfo* GetBaseClass2() const { return m_baseInfo2; }
    int GetSize() const { return m_objectSize; }
    const vqClassInfo* GetNext() const { return m_next; }
    bool IsKindOf(const vqClassInfo* info) const;

    // Looks a record up by name; null when no such class is loaded.
    static vqClassInfo* FindClass(const vqString& className);
    // Creates an object of the named class through its factory; null when none.
    static vqObject* CreateObject(const vqString& className);
    static const vqClassInfo* GetFirst() { return sm_first; }

    static vqClassInfo* sm_first;

private:
    void Register();
    void Unregister();

    const vqChar* m_className;
    int m_objectSize;
    vqObjectConstructorFn m_objectConstructor;
    const vqClassInfo* m_baseInfo1;
    const vqClassInfo* m_baseInfo2;
    vqClassInfo* m_next;
};

// Shared data of an object; counted, deleted with the last reference.
class VQ_BASE_API vqObjectRefData {
public:
    vqObjectRefData() : m_count(1) {}
    // A copy is a new, unshared datum: it starts with a count of one.
    vqObjectRefData(const vqObjectRefData&) : m_count(1) {}
    vqObjectRefData& operator=(const vqObjectRefData&) { return *this; }
    virtual ~vqObjectRefData();
    int GetRefCount() const { return m_count; }
    void IncRef() { ++m_count; }
    void DecRef() {
        if (--m_count == 0) delete this;
    }

private:
    int m_count;
};

#define VQ_DECLARE_ABSTRACT_CLASS(name) \
public:                                 \
    static vqClassInfo ms_classInfo;    \
    virtual vqClassInfo* GetClassInfo() const override;

#define VQ_DECLARE_DYNAMIC_CLASS(name) \
    VQ_DECLARE_ABSTRACT_CLASS(name)    \
    static vqObject* vqCreateObject();

#define VQ_IMPLEMENT_CLASS_COMMON(name, base1, base2, func)                            \
    vqClassInfo name::ms_classInfo(vqT(#name), base1, base2, (int)sizeof(name), func); \
    vqClassInfo* name::GetClassInfo() const { return &name::ms_classInfo; }

#define VQ_IMPLEMENT_ABSTRACT_CLASS(name, base) \
    VQ_IMPLEMENT_CLASS_COMMON(name, &base::ms_classInfo, nullptr, nullptr)

#define VQ_IMPLEMENT_DYNAMIC_CLASS(name, base)                                          \
    VQ_IMPLEMENT_CLASS_COMMON(name, &base::ms_classInfo, nullptr, name::vqCreateObject) \
    vqObject* name::vqCreateObject() { return new name; }

class VQ_BASE_API vqObject {
public:
    static vqClassInfo ms_classInfo;
    virtual vqClassInfo* GetClassInfo() const;

    vqObject() : m_refData(nullptr) {}
    vqObject(const vqObject& other) : m_refData(other.m_refData) {
        if (m_refData) m_refData->IncRef();
    }
    vqObject& operator=(const vqObject& other) {
        Ref(other);
        return *this;
    }
    virtual ~vqObject();

    bool IsKindOf(const vqClassInfo* info) const { return GetClassInfo()->IsKindOf(info); }

    // Shares the other object's data, releasing the own.
    void Ref(const vqObject& other);
    // Releases the own data.
    void UnRef();
    // Makes the data this object's alone, cloning it when shared.
    void AllocExclusive();
    bool IsSameAs(const vqObject& other) const { return m_refData == other.m_refData; }

    vqObjectRefData* GetRefData() const { return m_refData; }
    void SetRefData(vqObjectRefData* data) {
        UnRef();
        m_refData = data;
    }

protected:
    virtual vqObjectRefData* CreateRefData() const { return nullptr; }
    virtual vqObjectRefData* CloneRefData(const vqObjectRefData*) const { return nullptr; }

    vqObjectRefData* m_refData;
};

// Casts to T* when the object is of class T or a subclass; null otherwise.
template <class T>
T* vqDynamicCast(vqObject* object) {
    return object && object->IsKindOf(&T::ms_classInfo) ? static_cast<T*>(object) : nullptr;
}

#endif
