// The module system: modules found through their class records, started by
// vqInitialize and stopped by vqUninitialize.
#include "vq/module.h"

#include "vq/log.h"

VQ_IMPLEMENT_ABSTRACT_CLASS(vqModule, vqObject)

namespace {

std::vector<vqModule*>& Modules() {
    static std::vector<vqModule*> modules;
    return modules;
}

int s_initCount = 0;

}  // namespace

vqModule::~vqModule() {}

const std::vector<vqModule*>& vqModule::GetModules() { return Modules(); }

bool vqModule::InitializeModules() {
    std::vector<const vqClassInfo*> records;
    for (const vqClassInfo* info = vqClassInfo::GetFirst(); info; info = info->GetNext())
        if (info != &vqModule::ms_classInfo && info->IsDynamic() &&
            info->IsKindOf(&vqModule::ms_classInfo))
            records.push_back(info);
    // Records sit at the head of the chain in reverse load order: start the oldest first.
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        vqModule* module = static_cast<vqModule*>((*it)->CreateObject());
        if (!module) continue;
        if (!module->OnInit()) {
            vqLogError(vqT("Module \"%s\" failed to initialise."), (*it)->GetClassName());
            delete module;
            CleanUpModules();
            return false;
        }
        Modules().push_back(module);
    }
    return true;
}

void vqModule::CleanUpModules() {
    std::vector<vqModule*>& modules = Modules();
    while (!modules.empty()) {
        vqModule* module = modules.back();
        modules.pop_back();
        module->OnExit();
        delete module;
    }
}

bool vqInitialize() {
    if (s_initCount++ > 0) return true;
    if (vqModule::InitializeModules()) return true;
    s_initCount = 0;
    return false;
}

void vqUninitialize() {
    if (s_initCount == 0 || --s_initCount > 0) return;
    vqModule::CleanUpModules();
}
