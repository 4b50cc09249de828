// The toolkit's untyped pointer array: a growable array of void* slots. Typed
// arrays of owned objects derive from vqArrayPtrVoid and free what they own.
#ifndef VQ_ARRAY_H
#define VQ_ARRAY_H

#include <cstddef>

#include "vq/defs.h"

class VQ_BASE_API vqBaseArrayPtrVoid {
public:
    typedef int (*CMPFUNC)(void** first, void** second);

    vqBaseArrayPtrVoid() : m_nSize(0), m_nCount(0), m_pItems(nullptr) {}
    vqBaseArrayPtrVoid(const vqBaseArrayPtrVoid& other);
    vqBaseArrayPtrVoid& operator=(const vqBaseArrayPtrVoid& other);
    ~vqBaseArrayPtrVoid();

    // Reallocates to exactly n slots of capacity when n exceeds the count.
    void Alloc(size_t n);
    // Gives back the capacity beyond the count.
    void Shrink();
    // Drops every slot and the storage (the pointed-to objects are not touched).
    void Clear();

    size_t GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    void* Item(size_t index) const { return m_pItems[index]; }
    void*& operator[](size_t index) { return m_pItems[index]; }
    void* operator[](size_t index) const { return m_pItems[index]; }

    // Appends item n times.
    void Add(void* item, size_t n = 1);
    // Inserts item n times before slot index (index may equal the count).
    void Insert(void* item, size_t index, size_t n = 1);
    // Removes n slots from index; does nothing when the range is not inside the array.
    void RemoveAt(size_t index, size_t n = 1);
    // Slot number of the first (or last, fromEnd) slot equal to item; -1 when none.
    int Index(const void* item, bool fromEnd = false) const;
    void Sort(CMPFUNC compare);

protected:
    void Grow(size_t extra);

    size_t m_nSize;
    size_t m_nCount;
    void** m_pItems;
};

class VQ_BASE_API vqArrayPtrVoid : public vqBaseArrayPtrVoid {};

#endif
