// A small plug-in that stands in for the backup plug-in in the host's tests. It offers the five
// exports (TestPluginNoChild.dll lacks ProvaChild) and appends one line per call to the file
// named by $TARVIK_TEST_PLUGIN_LOG:
//   name | description | info | prop <application?> <settings file>
//   child <command> -> <result>   (a page creation adds "page <name> in <parent class>")
// A page is a child window of the parent handle, named "FormMain", "FormMain_1", ...; the
// command "Throw" raises, as a failing plug-in would.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/PluginApi.h"
#include "platform/Windows.h"

namespace {

void Log(const std::string& line) {
    const char* path = std::getenv("TARVIK_TEST_PLUGIN_LOG");
    if (!path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

[[maybe_unused]] std::vector<std::string>& Pages() {
    static std::vector<std::string> pages;
    return pages;
}

[[maybe_unused]] const char* kEmpty = "";

[[maybe_unused]] bool StartsWith(const std::string& s, const std::string& word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != std::toupper(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const char* PluginName() {
    Log("name");
    return "Test plug-in";
}

__attribute__((visibility("default"))) const char* PluginDescription() {
    Log("description");
    return nullptr;  // the host must take a null text as empty
}

__attribute__((visibility("default"))) void PluginINFO() { Log("info"); }

__attribute__((visibility("default"))) void ProvaProp(TApplication* application, const char* settingsFile) {
    Log(std::string("prop ") + (application ? "app " : "noapp ") + settingsFile);
}

#ifndef TEST_PLUGIN_WITHOUT_CHILD
__attribute__((visibility("default"))) const char* ProvaChild(TApplication*, HWND mainWindow, HWND parent,
                                                                const char* command) {
    std::string c = command ? command : "";
    if (StartsWith(c, "Refresh") || StartsWith(c, "Backup") || StartsWith(c, "SecBac")) {
        Log("child " + c + " -> ");
        return kEmpty;
    }
    if (c.find("Throw") != std::string::npos) throw std::runtime_error("the test plug-in fails for " + c);
    static bool registered = [] {
        WNDCLASSA wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TTestPluginPage";
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    std::string name = Pages().empty() ? "FormMain" : "FormMain_" + std::to_string(Pages().size());
    HWND page = CreateWindowExA(0, "TTestPluginPage", name.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, parent,
                                nullptr, nullptr, nullptr);
    char cls[64] = {};
    GetClassNameA(GetParent(page), cls, sizeof cls);
    char mainCls[64] = {};
    GetClassNameA(mainWindow, mainCls, sizeof mainCls);
    Pages().push_back(name);
    Log("child " + c + " -> " + name);
    Log("page " + name + " in " + cls + " of " + mainCls);
    return Pages().back().c_str();
}
#endif

}  // extern "C"
