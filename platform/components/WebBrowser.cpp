#include "platform/WebBrowser.h"

#include "platform/ImgList.h"

#include "detail/FileBytes.h"

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner) {
    width_ = 300;
    height_ = 150;
    SetTabStop(true);
}

void TWebBrowser::Navigate(const String& URL) {
    locationURL_ = URL;
    ++navigations_;
    Load();
    if (OnNavigateComplete && CanRunEvents()) OnNavigateComplete(this);
}

void TWebBrowser::Refresh() {
    if (!locationURL_.empty()) Load();
}

void TWebBrowser::Load() {
    String path = locationURL_;
    const String prefix = "file:///";
    if (path.size() >= prefix.size()) {
        String head = path.substr(0, prefix.size());
        for (char& ch : head) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
        if (head == prefix) {
            path = path.substr(prefix.size());
            for (char& ch : path)
                if (ch == '/') ch = '\\';
        }
    }
    page_.reset();
    scrollTop_ = 0;
    scrollLeft_ = 0;
    if (HandleAllocated()) Invalidate();
    auto slash = path.find_last_of("\\/");
    locationName_ = slash == String::npos ? path : path.substr(slash + 1);
    folder_ = slash == String::npos ? String() : path.substr(0, slash + 1);
    std::vector<Byte> bytes;
    if (platform::detail::TryReadFileBytes(path, bytes))
        text_.assign(bytes.begin(), bytes.end());
    else
        text_.clear();
}
