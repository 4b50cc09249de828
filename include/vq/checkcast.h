// vqStaticCast: the checked down-cast for objects with class records.
#ifndef VQ_CHECKCAST_H
#define VQ_CHECKCAST_H

#include "vq/log.h"
#include "vq/object.h"

// Returns the object as a T when it is a T or derives from one, null otherwise
// (and for null). Debug builds report a mismatch once through vqOnAssert, with
// this header's file and line, no function name, the condition "ptr" and the
// message "vqStaticCast() used incorrectly"; no build ever returns a bad cast.
template <class T>
T* vqStaticCast(vqObject* ptr) {
    if (!ptr) return nullptr;
    if (ptr->IsKindOf(&T::ms_classInfo)) return static_cast<T*>(ptr);
#ifdef VQ_DEBUG
    vqOnAssert(__FILE__, __LINE__, nullptr, "ptr",
               vqString(vqT("vqStaticCast() used incorrectly")));
#endif
    return nullptr;
}

#endif
