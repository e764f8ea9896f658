#include "manager/Instance.h"

#include "manager/SplitParams.h"
#include "platform/MessageLoop.h"
#include "platform/SysUtils.h"

namespace manager {

HWND InstanceWindow = nullptr;
ATOM CommandLineAtom = 0;
String CommandLineText;

String BuildCommandLineText(const std::vector<String>& arguments) {
    String text;
    for (const String& argument : arguments) {
        text += " \"";
        for (char ch : argument) {
            if (ch == '"') text += '"';
            text += ch;
        }
        text += '"';
    }
    return Trim(text);
}

bool IsInstanceWindow(HWND hwnd) {
    char className[30] = {};
    int n = GetClassNameA(hwnd, className, sizeof className);
    if (n <= 0 || !SameText(String(className, static_cast<std::size_t>(n)), kMainWindowClass)) return false;
    return SendMessageA(hwnd, WM_INSTANCE_PING, 0, 0) == InstanceMagic;
}

BOOL FindInstanceProc(HWND hwnd, LPARAM) {
    if (IsInstanceWindow(hwnd)) {
        InstanceWindow = hwnd;
        return FALSE_;
    }
    return TRUE_;
}

HWND FindRunningInstance() {
    InstanceWindow = nullptr;
    CommandLineAtom = 0;
    EnumWindows(FindInstanceProc, 0);
    return InstanceWindow;
}

THandOver ActivateRunningInstance(bool hasArguments) {
    PostMessageA(InstanceWindow, WM_INSTANCE_RESTORE, 0, 0);
    if (!hasArguments) return THandOver::Restored;
    if (CommandLineText.size() > kMaxCommandLineText) return THandOver::CommandLineTooLong;
    CommandLineAtom = GlobalAddAtomA(CommandLineText.c_str());
    if (!CommandLineAtom) return THandOver::AtomFailed;
    const LRESULT taken = SendMessageA(InstanceWindow, WM_INSTANCE_COMMANDLINE, CommandLineAtom, 0);
    GlobalDeleteAtom(CommandLineAtom);
    CommandLineAtom = 0;
    return taken == kCommandLineTaken ? THandOver::Restored : THandOver::NotTaken;
}

TCommandLineRequest ParseCommandLineText(const String& text) {
    TCommandLineRequest request;
    if (Trim(text).empty()) return request;
    bool afterA = false;
    for (const String& token : SplitParamsTokens(text, ' ')) {
        if (afterA) request.HandedOverPaths.push_back(Trim(token));
        String word = Trim(LowerCase(token));
        if (word == "-a") afterA = true;
        if (word == "-s") request.Minimise = true;
    }
    return request;
}

TStartupLock::TStartupLock(unsigned timeoutMillis) : lock_("Tarvik.start", timeoutMillis) {}

}  // namespace manager
