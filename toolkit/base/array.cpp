#include "vq/array.h"

#include <cstdlib>
#include <cstring>

vqBaseArrayPtrVoid::vqBaseArrayPtrVoid(const vqBaseArrayPtrVoid& other)
    : m_nSize(0), m_nCount(0), m_pItems(nullptr) {
    *this = other;
}

vqBaseArrayPtrVoid& vqBaseArrayPtrVoid::operator=(const vqBaseArrayPtrVoid& other) {
    if (this == &other) return *this;
    Clear();
    if (other.m_nCount) {
        Alloc(other.m_nCount);
        memcpy(m_pItems, other.m_pItems, other.m_nCount * sizeof(void*));
        m_nCount = other.m_nCount;
    }
    return *this;
}

vqBaseArrayPtrVoid::~vqBaseArrayPtrVoid() { free(m_pItems); }

void vqBaseArrayPtrVoid::Alloc(size_t n) {
    if (n <= m_nCount || n == m_nSize) return;
    void** items = static_cast<void**>(realloc(m_pItems, n * sizeof(void*)));
    if (!items) abort();
    m_pItems = items;
    m_nSize = n;
}

void vqBaseArrayPtrVoid::Shrink() {
    if (m_nCount == m_nSize) return;
    if (m_nCount == 0) {
        Clear();
        return;
    }
    void** items = static_cast<void**>(realloc(m_pItems, m_nCount * sizeof(void*)));
    if (items) {
        m_pItems = items;
        m_nSize = m_nCount;
    }
}

void vqBaseArrayPtrVoid::Clear() {
    free(m_pItems);
    m_pItems = nullptr;
    m_nSize = m_nCount = 0;
}

void vqBaseArrayPtrVoid::Grow(size_t extra) {
    if (m_nCount + extra <= m_nSize) return;
    // Grow geometrically so that appending one slot at a time stays amortised O(1).
    size_t size = m_nSize < 16 ? 16 : m_nSize + m_nSize / 2;
    if (size < m_nCount + extra) size = m_nCount + extra;
    Alloc(size);
}

void vqBaseArrayPtrVoid::Add(void* item, size_t n) { Insert(item, m_nCount, n); }

void vqBaseArrayPtrVoid::Insert(void* item, size_t index, size_t n) {
    if (n == 0 || index > m_nCount) return;
    Grow(n);
    memmove(m_pItems + index + n, m_pItems + index, (m_nCount - index) * sizeof(void*));
    for (size_t i = 0; i < n; ++i) m_pItems[index + i] = item;
    m_nCount += n;
}

void vqBaseArrayPtrVoid::RemoveAt(size_t index, size_t n) {
    if (index >= m_nCount || n > m_nCount - index) return;
    memmove(m_pItems + index, m_pItems + index + n, (m_nCount - index - n) * sizeof(void*));
    m_nCount -= n;
}

int vqBaseArrayPtrVoid::Index(const void* item, bool fromEnd) const {
    if (fromEnd) {
        for (size_t i = m_nCount; i > 0; --i)
            if (m_pItems[i - 1] == item) return static_cast<int>(i - 1);
    } else {
        for (size_t i = 0; i < m_nCount; ++i)
            if (m_pItems[i] == item) return static_cast<int>(i);
    }
    return -1;
}

void vqBaseArrayPtrVoid::Sort(CMPFUNC compare) {
    if (m_nCount > 1)
        qsort(m_pItems, m_nCount, sizeof(void*),
              reinterpret_cast<int (*)(const void*, const void*)>(compare));
}
