#include "platform/Dialogs.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

struct DialogState {
    std::mutex mutex;
    DialogHook hook;
    std::vector<ShownDialog> shown;
    std::vector<ShellExecuteCall> shell;
    std::vector<UINT> exits;
    std::vector<NotifyIcon> icons;
};

DialogState& TheState() {
    static DialogState* state = new DialogState;
    return *state;
}

}  // namespace

void SetDialogHook(DialogHook hook) {
    std::lock_guard lock(TheState().mutex);
    TheState().hook = std::move(hook);
}

bool HasDialogHook() {
    std::lock_guard lock(TheState().mutex);
    return static_cast<bool>(TheState().hook);
}

int DefaultDialogAnswer(const DialogRequest& request) {
    if (request.kind != DialogKind::MessageBox) return IDCANCEL;
    switch (request.buttons & MB_TYPEMASK) {
        case MB_OK: return IDOK;
        case MB_YESNO:
        case MB_YESNOCANCEL: return IDNO;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDCANCEL;
    }
}

int ShowDialog(DialogRequest& request) {
    DialogHook hook;
    {
        std::lock_guard lock(TheState().mutex);
        hook = TheState().hook;
    }
    // The hook runs unlocked: it may show further boxes (a confirmation inside a dialog).
    int answer = hook ? hook(request) : 0;
    if (answer == 0) answer = DefaultDialogAnswer(request);
    RecordShownDialog(request, answer);
    return answer;
}

void RecordShownDialog(const DialogRequest& request, int answer) {
    std::lock_guard lock(TheState().mutex);
    TheState().shown.push_back(
        ShownDialog{request.kind, request.caption, request.text, request.buttons, request.className, answer});
}

std::vector<ShownDialog> ShownDialogs() {
    std::lock_guard lock(TheState().mutex);
    return TheState().shown;
}

void ClearShownDialogs() {
    std::lock_guard lock(TheState().mutex);
    TheState().shown.clear();
}

std::vector<ShellExecuteCall> ShellExecuteCalls() {
    std::lock_guard lock(TheState().mutex);
    return TheState().shell;
}

void ClearShellExecuteCalls() {
    std::lock_guard lock(TheState().mutex);
    TheState().shell.clear();
}

std::vector<UINT> ExitWindowsCalls() {
    std::lock_guard lock(TheState().mutex);
    return TheState().exits;
}

void ClearExitWindowsCalls() {
    std::lock_guard lock(TheState().mutex);
    TheState().exits.clear();
}

std::vector<NotifyIcon> NotifyIcons() {
    std::lock_guard lock(TheState().mutex);
    return TheState().icons;
}

void ClearNotifyIcons() {
    std::lock_guard lock(TheState().mutex);
    TheState().icons.clear();
}

}  // namespace platform

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    platform::DialogRequest request;
    request.kind = platform::DialogKind::MessageBox;
    request.text = text ? text : "";
    // The platform titles a box without a caption "Error".
    request.caption = caption ? caption : "Error";
    request.buttons = type;
    return platform::ShowDialog(request);
}

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show) {
    auto& state = platform::TheState();
    std::lock_guard lock(state.mutex);
    state.shell.push_back(platform::ShellExecuteCall{verb ? verb : "", file ? file : "", parameters ? parameters : "",
                                                     directory ? directory : "", show});
    // Values above 32 report success.
    return reinterpret_cast<HINSTANCE>(std::uintptr_t{42});
}

BOOL ExitWindowsEx(UINT flags, DWORD) {
    auto& state = platform::TheState();
    std::lock_guard lock(state.mutex);
    state.exits.push_back(flags);
    return TRUE_;
}

BOOL MessageBeep(UINT) { return TRUE_; }

BOOL Shell_NotifyIconA(DWORD message, const NOTIFYICONDATAA* data) {
    if (!data) return FALSE_;
    auto& state = platform::TheState();
    std::lock_guard lock(state.mutex);
    auto it = std::find_if(state.icons.begin(), state.icons.end(),
                           [&](const platform::NotifyIcon& i) { return i.hwnd == data->hWnd && i.id == data->uID; });
    auto apply = [&](platform::NotifyIcon& icon) {
        if (data->uFlags & NIF_MESSAGE) icon.callbackMessage = data->uCallbackMessage;
        if (data->uFlags & NIF_ICON) icon.icon = data->hIcon;
        if (data->uFlags & NIF_TIP) icon.tip = String(data->szTip, strnlen(data->szTip, sizeof data->szTip));
    };
    switch (message) {
        case NIM_ADD:
            if (it != state.icons.end()) return FALSE_;
            state.icons.push_back(platform::NotifyIcon{data->hWnd, data->uID, 0, nullptr, {}});
            apply(state.icons.back());
            return TRUE_;
        case NIM_MODIFY:
            if (it == state.icons.end()) return FALSE_;
            apply(*it);
            return TRUE_;
        case NIM_DELETE:
            if (it == state.icons.end()) return FALSE_;
            state.icons.erase(it);
            return TRUE_;
        default: return FALSE_;
    }
}
