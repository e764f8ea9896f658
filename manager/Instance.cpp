#include "manager/Instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

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
    SendMessageA(InstanceWindow, WM_INSTANCE_COMMANDLINE, CommandLineAtom, 0);
    GlobalDeleteAtom(CommandLineAtom);
    CommandLineAtom = 0;
    return THandOver::Restored;
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

TStartupLock::TStartupLock(unsigned timeoutMillis) {
    String folder = platform::SessionFolder();
    if (folder.empty()) return;
    // The first start of a profile comes before any window made the session folder.
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    ::chmod(folder.c_str(), 0700);
    fd_ = ::open((folder + "/Tarvik.start.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMillis);
    // The lock dies with its holder, so a killed start never blocks the next one.
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TStartupLock::~TStartupLock() { Release(); }

void TStartupLock::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace manager
