// What the toolkit offers code that calls Win32 directly: its module instance handle
// and the window procedure of its windows.
#ifndef VQ_WIN32_WINDOW_CLASS_H
#define VQ_WIN32_WINDOW_CLASS_H

#include "vq/platform/win32.h"
#include "vq/window.h"

// The toolkit's module instance handle, for registering window classes.
extern VQ_CORE_API HINSTANCE vqhInstance;
// The window procedure of toolkit windows: routes messages to vqWindow::MSWHandleMessage.
VQ_CORE_API LRESULT CALLBACK vqWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

#endif
