// The application object of a GUI program: vqApp over vqAppBase, which adds event
// handling to the console application's build check.
#ifndef VQ_GUI_APP_H
#define VQ_GUI_APP_H

#include "vq/app.h"
#include "vq/window.h"

class VQ_CORE_API vqAppBase : public vqEvtHandler, public vqAppConsole {
    VQ_DECLARE_ABSTRACT_CLASS(vqAppBase)
public:
    vqAppBase();
    ~vqAppBase() override;
    // Called once the toolkit is initialised; false ends the program.
    virtual bool OnInit() { return true; }
    // Called before the toolkit is cleaned up; the program's exit code.
    virtual int OnExit() { return 0; }
    // The application object alive now (the latest constructed), or null.
    static vqAppBase* GetInstance();
};

class VQ_CORE_API vqApp : public vqAppBase {
    VQ_DECLARE_ABSTRACT_CLASS(vqApp)
public:
    vqApp();
    ~vqApp() override;
};

#endif
