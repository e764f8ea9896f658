// The plug-in's pages as windows: each page is a child window of the host's panel, named
// "FormMain", "FormMain_1", ... (unique among the live pages of this library, without regard
// to case), with the 500 ms check on its own timer. The library keeps its list of pages, and
// its application variable: the host's object while pages live, its own after a page goes.
#pragma once

#include <memory>
#include <vector>

#include "platform/Windows.h"
#include "plugin/FormMain.h"
#include "plugin/QelPage.h"

class TApplication;

namespace qel {

// The library's `Application` variable: the host's object from a page creation or a settings
// dialog on (a null host object leaves it as it is), the library's own again after a page goes.
TApplication* LibraryApplication();
void AdoptApplication(TApplication* host);
void RestoreOwnApplication();

// The first of "FormMain", "FormMain_1", "FormMain_2", ... that no live page carries.
String UniquePageName();

class TPageWindow {
public:
    static constexpr UINT kCheckMillis = 500;
    static constexpr int kDesignedWidth = 763;
    static constexpr int kDesignedHeight = 391;

    // Makes a page inside parent for the settings file and reads its settings.
    static TPageWindow* Create(TApplication* host, HWND parent, const String& settingsPath,
                               std::unique_ptr<TBackupArchive> archive, const String& pluginDataFolder);
    // The live pages in the order they were made.
    static const std::vector<TPageWindow*>& Pages();
    // Pages whose name equals name without regard to case.
    static std::vector<TPageWindow*> Named(const String& name);

    const String& Name() const { return name_; }
    HWND Handle() const { return hwnd_; }
    TQelPage& Page() { return page_; }
    TFormMain* Form() const { return form_; }
    HWND ParentHandle() const { return parent_; }
    TApplication* HostApplication() const { return host_; }

    // Fills the parent's client area.
    void Maximize();
    // To the front, focused, filling the parent, repainted.
    void Refresh();
    // Closing a page frees it.
    void Close() { DestroyWindow(hwnd_); }

private:
    TPageWindow(TApplication* host, HWND parent, String name, const String& settingsPath,
                std::unique_ptr<TBackupArchive> archive, const String& pluginDataFolder);
    static LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Destroyed();

    TApplication* host_;
    HWND parent_;
    HWND hwnd_ = nullptr;
    String name_;
    TQelPage page_;
    TFormMain* form_ = nullptr;
    bool ticking_ = false;
};

}  // namespace qel
