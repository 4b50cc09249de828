#include "vq/log.h"

#include <cstdio>
#include <cstdlib>

namespace {

class StderrLog : public vqLog {
public:
    void DoLog(vqLogLevel level, const vqString& text) override {
        if (level == vqLOG_Debug && !vqLog::IsDebugWanted()) return;
        const char* tag = level == vqLOG_Error     ? "Error"
                          : level == vqLOG_Warning ? "Warning"
                                                   : "Debug";
        fprintf(stderr, "%s: %s\n", tag, text.ToUTF8().c_str());
    }
};

StderrLog g_defaultLog;
vqLog* g_activeLog = nullptr;
// Read once: getenv on every trace line costs more than the line itself.
const bool g_debugFromEnvironment = getenv("VQ_LOG_DEBUG") != nullptr;
vqAssertHandler g_assertHandler = nullptr;

void LogV(vqLogLevel level, const vqChar* format, va_list args) {
    vqLog::OnLog(level, vqString::FormatV(format, args));
}

}  // namespace

vqLog::~vqLog() {
    if (g_activeLog == this) SetActiveTarget(nullptr);
}

bool vqLog::ms_debugWanted = g_debugFromEnvironment;

vqLog* vqLog::SetActiveTarget(vqLog* target) {
    vqLog* previous = g_activeLog;
    g_activeLog = target;
    ms_debugWanted = target || g_debugFromEnvironment;
    return previous;
}

vqLog* vqLog::GetActiveTarget() { return g_activeLog ? g_activeLog : &g_defaultLog; }

void vqLog::OnLog(vqLogLevel level, const vqString& text) { GetActiveTarget()->DoLog(level, text); }

#define VQ_DEFINE_LOG_FUNCTION(name, level) \
    void name(const vqChar* format, ...) {  \
        va_list args;                       \
        va_start(args, format);             \
        LogV(level, format, args);          \
        va_end(args);                       \
    }

VQ_DEFINE_LOG_FUNCTION(vqLogError, vqLOG_Error)
VQ_DEFINE_LOG_FUNCTION(vqLogWarning, vqLOG_Warning)
void(vqLogDebug)(const vqChar* format, ...) {
    if (!vqLogDebugEnabled()) return;
    va_list args;
    va_start(args, format);
    LogV(vqLOG_Debug, format, args);
    va_end(args);
}

vqAssertHandler vqSetAssertHandler(vqAssertHandler handler) {
    vqAssertHandler previous = g_assertHandler;
    g_assertHandler = handler;
    return previous;
}

void vqOnAssert(const char* file, int line, const char* func, const char* cond,
                const vqString& msg) {
    if (g_assertHandler) {
        g_assertHandler(file, line, func, cond, msg);
        return;
    }
    // Any of file, function and condition may be null (no function name is common).
    std::string where = std::string(file ? file : "?") + ":" + std::to_string(line) +
                        ": assert \"" + (cond ? cond : "") + "\" failed";
    if (func && *func) where += std::string(" in ") + func + "()";
    vqLog::OnLog(vqLOG_Error, vqString::FromUTF8(where + ": ") + msg);
}
