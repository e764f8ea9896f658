// Per-module state lives in this static library; each module (the program, the plug-in,
// every test executable) links its own copy with hidden visibility.
namespace platform::module {
int ModuleAnchor = 0;
}
