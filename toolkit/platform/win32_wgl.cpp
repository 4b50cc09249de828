// OPENGL32 of the stand-in: rendering contexts bound to the pixel format of the
// device context they were created on.
#include "win32_private.h"

namespace {

thread_local HGLRC t_current = nullptr;
thread_local HDC t_currentDC = nullptr;
thread_local char t_threadTag;  // its address names the calling thread

bool ValidRC(HGLRC rc) { return vqw32::g_contexts.count(rc) != 0; }

void ReleaseCurrent() {
    if (t_current) {
        t_current->currentDC = nullptr;
        t_current->currentThread = nullptr;
    }
    t_current = nullptr;
    t_currentDC = nullptr;
    vqw32::EglReleaseCurrent();
}

}  // namespace

using namespace vqw32;

HGLRC WINAPI wglCreateContext(HDC dc) {
    HGLRC rc = nullptr;
    if (!g_dcs.count(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
    } else if (!dc->wnd || !Win(dc->wnd)->pixelFormat) {
        // A device context without a pixel format cannot carry a rendering context.
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    } else {
        rc = new HGLRC__;
        rc->display = Win(dc->wnd)->display;
        rc->pixelFormat = Win(dc->wnd)->pixelFormat;
        if (!EglCreateContext(rc, nullptr)) {
            delete rc;
            rc = nullptr;
            SetLastError(ERROR_NOT_SUPPORTED);
        } else {
            g_contexts.insert(rc);
        }
    }
    Record("wglCreateContext", {Hex(dc), "-> " + Hex(rc)});
    return rc;
}

BOOL WINAPI wglDeleteContext(HGLRC rc) {
    Record("wglDeleteContext", {Hex(rc)});
    if (!ValidRC(rc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (rc->currentThread && rc->currentThread != &t_threadTag) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    // A context current on this thread is made not current first.
    if (rc == t_current) ReleaseCurrent();
    for (HWND wnd : g_windows)
        if (Win(wnd)->presenter == rc) Win(wnd)->presenter = nullptr;
    EglDestroyContext(rc);
    g_contexts.erase(rc);
    delete rc;
    return TRUE;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC rc) {
    Record("wglMakeCurrent", {Hex(dc), Hex(rc)});
    if (!rc) {
        ReleaseCurrent();
        return TRUE;
    }
    if (!ValidRC(rc) || !g_dcs.count(dc) || !dc->wnd) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (rc->currentThread && rc->currentThread != &t_threadTag) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    if (Win(dc->wnd)->pixelFormat != rc->pixelFormat || Win(dc->wnd)->display != rc->display) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (!EglMakeCurrent(dc->wnd, rc)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (t_current && t_current != rc) {
        t_current->currentDC = nullptr;
        t_current->currentThread = nullptr;
    }
    rc->used = true;
    rc->currentDC = dc;
    rc->currentThread = &t_threadTag;
    t_current = rc;
    t_currentDC = dc;
    return TRUE;
}

BOOL WINAPI wglShareLists(HGLRC source, HGLRC target) {
    Record("wglShareLists", {Hex(source), Hex(target)});
    if (!ValidRC(source) || !ValidRC(target) || source == target) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Lists can be shared only into a context that has not been used yet.
    if (target->used || source->pixelFormat != target->pixelFormat) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    EglDestroyContext(target);
    if (!EglCreateContext(target, source)) {
        EglCreateContext(target, nullptr);
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return TRUE;
}

HGLRC WINAPI wglGetCurrentContext(void) { return t_current; }
HDC WINAPI wglGetCurrentDC(void) { return t_currentDC; }
