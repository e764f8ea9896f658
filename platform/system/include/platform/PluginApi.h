// The boundary between the program and its plug-in libraries: the five exports every plug-in
// in the "Plugins" folder offers, with the signatures host and library both compile against.
//
// The host binds each export by name with GetProcAddress (platform/Modules.h); the names below
// are the exported symbol names, so they carry C linkage. The system's calling convention for
// these exports is the standard one of the platform; on x86-64 Linux there is only one.
// Texts cross as zero-terminated byte strings. A text the host passes is valid only during the
// call; a text an export returns belongs to the library (a constant, or the name of a live
// page) and is copied by the host at once and never freed by it. A null result counts as an
// empty text.
//
// The application object crosses as a raw pointer of the layer's component library. The main
// window and the parent of the page cross as window handles: the page becomes a child window
// of the parent handle (the host's panel), and the library finds the control behind a handle
// through the component library when it needs it. The page is destroyed with that window.
#pragma once

#include "platform/Types.h"

class TApplication;

extern "C" {

// "PluginName" and "PluginDescription": constant texts describing the library.
using TPluginNameFunc = const char* (*)();
using TPluginDescriptionFunc = const char* (*)();
// "PluginINFO": shows the library's information message.
using TPluginINFOFunc = void (*)();
// "ProvaProp": shows the settings dialog of the backup whose settings file is SettingsFile.
using TProvaPropFunc = void (*)(TApplication* Application, const char* SettingsFile);
// "ProvaChild": with a settings-file path, creates a page inside Parent and gives its name;
// with "Refresh", "Backup" or "SecBac" followed by a page name, carries out that command and
// gives an empty text.
using TProvaChildFunc = const char* (*)(TApplication* Application, HWND MainWindow, HWND Parent,
                                        const char* Command);

}  // extern "C"

namespace plugin_api {
inline constexpr const char* kPluginName = "PluginName";
inline constexpr const char* kPluginDescription = "PluginDescription";
inline constexpr const char* kPluginINFO = "PluginINFO";
inline constexpr const char* kProvaProp = "ProvaProp";
inline constexpr const char* kProvaChild = "ProvaChild";
}  // namespace plugin_api
