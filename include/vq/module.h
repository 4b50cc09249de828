// Modules: objects that a library registers through a class record so that the
// toolkit starts them at initialisation (OnInit) and stops them at clean-up (OnExit).
#ifndef VQ_MODULE_H
#define VQ_MODULE_H

#include <vector>

#include "vq/object.h"

class VQ_CORE_API vqModule : public vqObject {
    VQ_DECLARE_ABSTRACT_CLASS(vqModule)
public:
    vqModule() {}
    ~vqModule() override;
    // Starts the module; false stops the toolkit's initialisation.
    virtual bool OnInit() = 0;
    // Releases what the module holds; called once at clean-up.
    virtual void OnExit() = 0;

    // Creates one module of every loaded class record that derives from vqModule and
    // has a factory, and starts each; on a failure the started ones are stopped and
    // false is returned. The modules are owned by the module system.
    static bool InitializeModules();
    // Stops the modules in reverse order of starting and deletes them.
    static void CleanUpModules();
    static const std::vector<vqModule*>& GetModules();
};

// Starts the toolkit (the module system); nested calls are counted. False when a
// module failed to start.
VQ_CORE_API bool vqInitialize();
// Stops the toolkit when the last vqInitialize is matched.
VQ_CORE_API void vqUninitialize();

#endif
