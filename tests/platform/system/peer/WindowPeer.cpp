// The other process of the cross-process window tests.
//
//   window_peer serve <class> <caption>    registers a top-level window, prints "ready <hwnd>",
//                                          runs its loop and prints what it receives
//   window_peer mute <class> <caption>     the same window, but the loop never runs
//   window_peer serve <class> <caption> slow   answers a command line only after 3 s
//   window_peer call <hwnd>                sends the ping to that window, prints "answer <n>",
//                                          posts kSequence 1, 2, 3 to it and ends
//
// The served window answers the instance ping with the instance magic, prints posts and
// command lines handed over in atoms, and on kAskBack sends kAnswer to the window named by
// wParam and answers that result plus one. WM_CLOSE ends the process.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/MessageLoop.h"
#include "platform/Windows.h"

namespace {

constexpr UINT kPing = 0x8065;
constexpr UINT kRestore = 0x8066;
constexpr UINT kCommandLine = 0x8067;
constexpr LRESULT kMagic = 0x18549A00;
constexpr UINT kSequence = WM_APP + 1;
constexpr UINT kAskBack = WM_APP + 2;
constexpr UINT kAnswer = WM_APP + 3;

bool g_slowCommandLine = false;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kPing: return kMagic;
        case kRestore: Say(IsIconic(hwnd) ? "restore iconic" : "restore front"); return 0;
        case kCommandLine: {
            char buf[260];
            UINT n = GlobalGetAtomNameA(static_cast<ATOM>(wParam), buf, sizeof buf);
            Say("commandline " + std::string(buf, n));
            if (g_slowCommandLine) ::sleep(3);
            return 1;
        }
        case kSequence: Say("seq " + std::to_string(wParam)); return 0;
        case kAskBack: {
            LRESULT r = SendMessageA(reinterpret_cast<HWND>(wParam), kAnswer, 0, 0);
            return r + 1;
        }
        case WM_DESTROY:
            Say("destroyed");
            PostQuitMessage(0);
            return 0;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "call") == 0) {
        HWND target = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 16)));
        LRESULT answer = SendMessageA(target, kPing, 0, 0);
        Say("answer " + std::to_string(answer));
        for (WPARAM i = 1; i <= 3; ++i) PostMessageA(target, kSequence, i, 0);
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_peer serve|mute <class> <caption>\n");
        return 2;
    }
    const std::string mode = argv[1];
    WNDCLASSA wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = argv[2];
    if (!RegisterClassA(&wc)) return 3;
    HWND h = CreateWindowExA(0, argv[2], argv[3], WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                             nullptr);
    if (!h) return 4;
    if (argc > 4 && std::strcmp(argv[4], "iconic") == 0) ShowWindow(h, SW_SHOWMINIMIZED);
    g_slowCommandLine = argc > 4 && std::strcmp(argv[4], "slow") == 0;
    char ready[64];
    std::snprintf(ready, sizeof ready, "ready %llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h)));
    if (mode == "mute") {
        Say(ready);
        for (;;) ::pause();  // alive and listening, but never answering
    }
    platform::InstallTerminationSignals();
    platform::SetMainWindow(h);
    Say(ready);
    return platform::RunMessageLoop();
}
