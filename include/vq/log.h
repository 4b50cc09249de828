// Logging with an installable target, and the assertion handler.
#ifndef VQ_LOG_H
#define VQ_LOG_H

#include "vq/string.h"

enum vqLogLevel { vqLOG_Error = 1, vqLOG_Warning = 2, vqLOG_Debug = 5 };

// A log target. The default one writes errors and warnings to stderr, and debug
// lines only when VQ_LOG_DEBUG is set in the environment.
class VQ_BASE_API vqLog {
public:
    virtual ~vqLog();
    // Receives one finished line; called for every message while the target is active.
    virtual void DoLog(vqLogLevel level, const vqString& text) = 0;

    // Installs a target (not owned) and returns the previous one; null restores the default.
    static vqLog* SetActiveTarget(vqLog* target);
    static vqLog* GetActiveTarget();
    static void OnLog(vqLogLevel level, const vqString& text);

    // True when a debug line would reach anyone: a target is installed, or VQ_LOG_DEBUG
    // was set in the environment when the library was loaded.
    static bool IsDebugWanted() { return ms_debugWanted; }

private:
    static bool ms_debugWanted;
};

// Log a printf-style message (same conversions as vqString::Printf).
VQ_BASE_API void vqLogError(const vqChar* format, ...);
VQ_BASE_API void vqLogWarning(const vqChar* format, ...);
VQ_BASE_API void vqLogDebug(const vqChar* format, ...);
inline bool vqLogDebugEnabled() { return vqLog::IsDebugWanted(); }
// Every debug trace first tests whether anyone listens, so that its arguments are not even
// evaluated when no one does; (vqLogDebug)(...) calls the function without the test.
#define vqLogDebug(...) (vqLogDebugEnabled() ? vqLogDebug(__VA_ARGS__) : (void)0)

// Receives a failed assertion: file, line, function, condition text, message.
typedef void (*vqAssertHandler)(const char* file, int line, const char* func, const char* cond,
                                const vqString& msg);
// Installs a handler and returns the previous one; null restores the default, which logs an error.
VQ_BASE_API vqAssertHandler vqSetAssertHandler(vqAssertHandler handler);
VQ_BASE_API void vqOnAssert(const char* file, int line, const char* func, const char* cond,
                            const vqString& msg);

#ifdef VQ_DEBUG
#define vqASSERT_MSG(cond, msg)                                                      \
    do {                                                                             \
        if (!(cond)) vqOnAssert(__FILE__, __LINE__, __func__, #cond, vqString(msg)); \
    } while (0)
#define vqFAIL_MSG(msg) vqOnAssert(__FILE__, __LINE__, __func__, "", vqString(msg))
#else
#define vqASSERT_MSG(cond, msg) \
    do {                        \
    } while (0)
#define vqFAIL_MSG(msg) \
    do {                \
    } while (0)
#endif
#define vqASSERT(cond) vqASSERT_MSG(cond, vqT(""))

#endif
