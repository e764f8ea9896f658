// This module's application object, its `Application` variable and its screen with the form
// list: compiled into every module with hidden visibility, so the plug-in's forms and its
// Application variable are its own.
#include "platform/Forms.h"

namespace {

struct ModuleForms {
    // The screen outlives the application, whose forms leave the screen's list as they go.
    TScreen screen{nullptr};
    TApplication application{nullptr};
};

ModuleForms& State() {
    static ModuleForms state;
    return state;
}

}  // namespace

TApplication* Application = &State().application;
TScreen* Screen = &State().screen;

TApplication* platform::module::OwnApplication() { return &State().application; }

platform::ModuleContext platform::module::Context() {
    platform::ModuleContext c;
    c.screen = &State().screen;
    c.application = &Application;
    return c;
}

#include "platform/CommonDialogs.h"

String platform::ModuleApplicationTitle() { return Application ? Application->Title() : String(); }
