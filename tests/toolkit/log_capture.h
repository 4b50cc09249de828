// A log target for the toolkit tests: installed while it lives, it keeps the
// error lines as UTF-8.
#ifndef TOOLKIT_LOG_CAPTURE_H
#define TOOLKIT_LOG_CAPTURE_H

#include <string>
#include <vector>

#include "vq/log.h"

class LogCapture : public vqLog {
public:
    LogCapture() : m_previous(SetActiveTarget(this)) {}
    ~LogCapture() override { SetActiveTarget(m_previous); }
    void DoLog(vqLogLevel level, const vqString& text) override {
        if (level == vqLOG_Error) errors.push_back(text.ToUTF8());
    }
    std::vector<std::string> errors;

private:
    vqLog* m_previous;
};

#endif
