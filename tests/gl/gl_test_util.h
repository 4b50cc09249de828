// Helpers of the GL tests: a captured log, recorded call names of the build's
// character width, the module's exit step, and what the tests need of the platform
// besides Win32 itself: whether contexts render, the frame a canvas shows, and the
// stand-in's extras (its call recorder and its 8-bit palette display), which real
// Windows lacks.
#ifndef VQ_GL_TEST_UTIL_H
#define VQ_GL_TEST_UTIL_H

#include <string>
#include <vector>

#include "vq/frame.h"
#include "test_support.h"
#include "vq/glcanvas.h"
#include "vq/log.h"
#include "vq/platform/win32.h"

// Keeps the error lines logged while it exists.
using CapturedLog = vqtest::ErrorLog;

// The name of a Win32 call that has A and W forms, in the build's width.
std::string Wide(const std::string& name);
// Runs the GL module's exit step, which unregisters the canvas window classes.
void RunGLModuleExit();
// A handle as the recorder writes it.
std::string HandleText(const void* handle);
// The call names of recorded lines.
std::vector<std::string> Names(const std::vector<std::string>& lines);
// True when a line starts with the prefix.
bool StartsWith(const std::string& line, const std::string& prefix);

#ifdef VQ_UNICODE
typedef WNDCLASSW TestWndClass;
#else
typedef WNDCLASSA TestWndClass;
#endif
// Reads a window class of the toolkit's instance through the build's width (as the
// canvas registers it); false when there is none.
bool ToolkitClassInfo(const vqChar* name, TestWndClass* wc);

// True where Win32 calls are recorded: the stand-in. On Windows the tests check the
// calls' effects through Win32 itself, and the recorder's calls below do nothing.
bool HaveRecorder();
void StartRecording();
void StopRecording();
// The recorded calls with these names, as text lines (none on Windows).
std::vector<std::string> Calls(const std::vector<std::string>& names);
// Every recorded call as text lines (none on Windows).
std::vector<std::string> AllCalls();

// True where the stand-in's 8-bit palette display can be chosen.
bool HavePaletteDisplay();
// Chooses the stand-in's 8-bit palette display (true) or its true-colour one; only
// where HavePaletteDisplay().
void UsePaletteDisplay(bool palette);

// True when OpenGL contexts can be made and render; the text says which renderer, or
// why none.
bool HaveGL();
std::string GLStatus();

// Presents the canvas's frame (SwapBuffers) and reads what it shows as RGBA rows,
// top row first. The stand-in gives the presented pixels; on Windows the back buffer
// of the current context is read just before the swap, since the front buffer of a
// child window reads back black under Wine. False when there is nothing to read.
bool PresentAndReadFrame(vqGLCanvas& canvas, int* width, int* height,
                         std::vector<unsigned char>* rgba);

// Dispatches the messages waiting in the thread's queue, as a program's message loop
// would (the stand-in sends every message at once and queues none).
void DispatchPendingMessages();

#define VQ_REQUIRE_GL() \
    if (!HaveGL()) GTEST_SKIP() << "no OpenGL rendering: " << GLStatus()

// Skips a case about the stand-in's call recorder, which Windows has no counterpart of.
#define VQ_REQUIRE_RECORDER()                                                              \
    if (!HaveRecorder())                                                                   \
    GTEST_SKIP() << "the Win32 call recorder exists only in the stand-in; Windows cannot " \
                    "record USER32/GDI32/OPENGL32 calls"

// Skips a case about the stand-in's 8-bit palette display.
#define VQ_REQUIRE_PALETTE_DISPLAY()                                                        \
    if (!HavePaletteDisplay())                                                              \
    GTEST_SKIP() << "the 8-bit palette display exists only in the stand-in; Windows under " \
                    "Wine is true colour, with no palette or colour-index pixel formats"

#endif
