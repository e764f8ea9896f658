#include "detail/TestProbe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "detail/WindowTable.h"

namespace platform::detail {
namespace {

String Field(const String& s) {
    String out;
    for (char c : s) {
        if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

String Hex(HWND h) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h)));
    return buf;
}

void Describe(HWND hwnd, HWND parent, HWND focus, String& out) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w || w->messageOnly) return;
    RECT r{};
    GetWindowRect(hwnd, &r);
    char nums[96];
    std::snprintf(nums, sizeof nums, "%d\t%d\t%d\t%ld\t%ld\t%ld\t%ld", IsWindowVisible(hwnd) ? 1 : 0,
                  IsWindowEnabled(hwnd) ? 1 : 0, hwnd == focus ? 1 : 0, static_cast<long>(r.left),
                  static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
    out += "W\t" + Hex(hwnd) + "\t" + Hex(parent) + "\t" + Field(w->cls ? w->cls->name : String()) + "\t" + nums +
           "\t" + Field(w->text) + "\n";
    // What the window drew last, where a person sees it.
    if (w->display) {
        for (const DrawItem& item : *w->display) {
            if (item.op != DrawOp::Text || item.text.empty()) continue;
            POINT p = item.from;
            ClientToScreen(hwnd, &p);
            std::snprintf(nums, sizeof nums, "%ld\t%ld\t%06lx", static_cast<long>(p.x), static_cast<long>(p.y),
                          static_cast<unsigned long>(item.textColor));
            out += "T\t" + Hex(hwnd) + "\t" + nums + "\t" + Field(item.text) + "\n";
        }
    }
    for (HWND child : WindowTable::Get().Children(hwnd)) Describe(child, hwnd, focus, out);
}

}  // namespace

bool TestProbeEnabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("TARVIK_TEST_PROBE");
        return v && std::strcmp(v, "1") == 0;
    }();
    return enabled;
}

String DescribeTopLevelWindows() {
    String out;
    const HWND focus = GetFocus();
    for (HWND top : WindowTable::Get().TopLevels())
        if (IsWindowVisible(top)) Describe(top, nullptr, focus, out);
    return out;
}

}  // namespace platform::detail
