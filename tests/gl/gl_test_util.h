// Helpers of the GL tests: a captured log, a parent frame, recorded call names of the
// build's character width, and the module's exit step.
#ifndef VQ_GL_TEST_UTIL_H
#define VQ_GL_TEST_UTIL_H

#include <string>
#include <vector>

#include "vq/frame.h"
#include "test_support.h"
#include "vq/log.h"
#include "vq/platform/win32.h"

// Keeps the error lines logged while it exists.
using CapturedLog = vqtest::ErrorLog;

// The name of a Win32 call that has A and W forms, in the build's width.
std::string Wide(const std::string& name);
// Runs the GL module's exit step, which unregisters the canvas window classes.
void RunGLModuleExit();
// The recorded calls with these names, as text lines.
std::vector<std::string> Calls(const std::vector<std::string>& names);
// A handle as the recorder writes it.
std::string HandleText(const void* handle);
// The call names of recorded lines.
std::vector<std::string> Names(const std::vector<std::string>& lines);
// True when a line starts with the prefix.
bool StartsWith(const std::string& line, const std::string& prefix);

#define VQ_REQUIRE_GL() \
    if (!vqPlatformHasGL()) GTEST_SKIP() << "no OpenGL rendering: " << vqPlatformGLStatus()

#endif
