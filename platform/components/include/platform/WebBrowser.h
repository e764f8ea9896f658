// The web-browser control's stand-in: it shows nothing, but keeps the path it navigated to
// and the text of that file, which is what the system and its tests read.
//
// Navigate takes a file path (Windows-style, or a "file:///" URL of one). A missing file
// leaves empty text, as a browser would show its error page; nothing is raised.
#pragma once

#include "platform/Controls.h"

class TWebBrowser : public TWinControl {
public:
    explicit TWebBrowser(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TWebBrowser"; }
    void Navigate(const String& URL);
    // Reads the file at the current location again.
    void Refresh();
    // Where the browser stands: the URL as given; empty before the first navigation.
    const String& LocationURL() const { return locationURL_; }
    // The name of the page: its file name; empty before the first navigation.
    const String& LocationName() const { return locationName_; }
    // The text of the file shown.
    const String& DocumentText() const { return text_; }
    Integer NavigationCount() const { return navigations_; }
    TNotifyEvent OnNavigateComplete;

private:
    void Load();
    String locationURL_;
    String locationName_;
    String text_;
    Integer navigations_ = 0;
};
