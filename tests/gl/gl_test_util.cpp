#include "gl_test_util.h"

#include <cstdio>
#include <memory>

#include "vq/module.h"

std::string Wide(const std::string& name) {
#ifdef VQ_UNICODE
    return name + "W";
#else
    return name + "A";
#endif
}

void RunGLModuleExit() {
    std::unique_ptr<vqObject> object(vqClassInfo::CreateObject(vqT("vqGLModule")));
    if (vqModule* module = vqDynamicCast<vqModule>(object.get())) module->OnExit();
}

std::vector<std::string> Calls(const std::vector<std::string>& names) {
    return vqPlatformRecordedCallsNamed(names);
}

bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

std::string HandleText(const void* handle) {
    if (!handle) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", handle);
    return buf;
}

std::vector<std::string> Names(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) names.push_back(line.substr(0, line.find('(')));
    return names;
}
