// The web-browser control: keeps the path it navigated to and the text of that file, which is
// what the system and its tests read, and shows the page when the renderer library is loaded
// (see platform/display/Page.h). The layout is made once per navigation and width; the page
// scrolls by the wheel (sideways with Shift, where a word or table is wider than the window),
// the arrow and page keys, and a scroll bar's track and thumb. Pictures (<img>, background
// images) are read from files beside the page; nothing is fetched from the network. A click
// on a link to another local page navigates the control; an http, https or mailto link goes
// to ShellExecute.
//
// Navigate takes a file path (Windows-style, or a "file:///" URL of one). A missing file
// leaves empty text, as a browser would show its error page; nothing is raised.
#pragma once

#include <memory>
#include <vector>

#include "platform/Controls.h"

namespace platform::display {
struct PageLayout;
}

class TCustomImageList;

class TWebBrowser : public TWinControl {
public:
    explicit TWebBrowser(TComponent* AOwner);
    ~TWebBrowser() override;
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
    // The target of the link at a client point ("" where none, or while nothing is laid out).
    String LinkAt(int X, int Y);
    // How far the page is scrolled down and to the right, in pixels.
    Integer ScrollTop() const { return scrollTop_; }
    Integer ScrollLeft() const { return scrollLeft_; }

protected:
    void WndProc(TMessage& Message) override;
    void PaintWindow(HDC DC) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    const platform::display::PageLayout* Page();
    void FollowLink(const String& href);
    // The part of the window the page shows in, and which scroll bars stand beside it.
    struct View {
        int width = 0, height = 0;
        bool down = false, across = false;
    };
    View ViewOf(const platform::display::PageLayout& page);
    void ScrollTo(Integer top, Integer left);
    void Load();
    // The bytes of a picture the page names, read from beside the page.
    bool ReadPicture(const String& src, std::vector<Byte>* bytes) const;
    String locationURL_;
    String folder_;  // the page's folder, with its trailing separator
    String locationName_;
    String text_;
    Integer navigations_ = 0;
    std::shared_ptr<platform::display::PageLayout> page_;  // for the width it holds; reset by Load
    std::vector<std::unique_ptr<TCustomImageList>> pictures_;  // the page's pictures, as page_ holds them
    Integer scrollTop_ = 0;
    Integer scrollLeft_ = 0;
    // A scroll bar's thumb being dragged: which, and where the pointer and the page stood.
    struct Drag {
        bool active = false;
        bool across = false;
        int from = 0;
        Integer offset = 0;
    } drag_;
};
