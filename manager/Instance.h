// The single instance of Tarvik: finding the running instance, handing it this start's
// command line, and the command-line processing both instances share.
//
// The running instance's main window (class "TFormMain") answers three private messages:
// the ping (answered with InstanceMagic), the restore (posted) and the command line (sent,
// the text in a global atom that the sender deletes after the send returns).
//
// Two starts at the same moment must not both become instances, so a start holds the
// start-up lock from before its search until its main window answers (a session lock; a killed
// holder releases it).
#pragma once

#include <vector>

#include "platform/SessionLock.h"
#include "platform/Windows.h"

namespace manager {

inline constexpr UINT WM_INSTANCE_PING = 0x8065;
inline constexpr UINT WM_INSTANCE_RESTORE = 0x8066;
inline constexpr UINT WM_INSTANCE_COMMANDLINE = 0x8067;
inline constexpr LRESULT InstanceMagic = 0x18549A00;
static_assert(InstanceMagic == 408197632);
inline constexpr const char* kMainWindowClass = "TFormMain";
// The running instance's answer to WM_INSTANCE_COMMANDLINE once it has applied the text; a
// send that gives anything else (no answer in time, a failed read of the atom) did not arrive.
inline constexpr LRESULT kCommandLineTaken = 1;
// A global atom holds at most this many characters.
inline constexpr std::size_t kMaxCommandLineText = 255;

// Process-wide values of the entry code.
extern HWND InstanceWindow;
extern ATOM CommandLineAtom;
extern String CommandLineText;

// Each argument as a blank, a double quote, the argument with every double quote doubled,
// and a double quote; the whole trimmed. The doubling lets a quote inside an argument survive
// the splitter at the other end.
String BuildCommandLineText(const std::vector<String>& arguments);

// True when the window's class is "TFormMain" (without regard to case) and it answers the
// ping with InstanceMagic. Only windows of that class are pinged, so a start never sends to
// (and never waits on) other programs' windows.
bool IsInstanceWindow(HWND hwnd);
// The EnumWindows callback: stores the first instance window in InstanceWindow and stops.
BOOL FindInstanceProc(HWND hwnd, LPARAM param);
// Clears InstanceWindow and CommandLineAtom, enumerates, and gives InstanceWindow.
HWND FindRunningInstance();

enum class THandOver {
    Restored,            // restore posted; the command line (if any) handed over
    CommandLineTooLong,  // restore posted; the text does not fit an atom
    AtomFailed,          // restore posted; no atom could be made
    NotTaken,            // restore posted; the send timed out or the instance did not apply it
};
// Posts the restore to InstanceWindow; with arguments, hands CommandLineText over in an atom.
THandOver ActivateRunningInstance(bool hasArguments);

// What a command-line text asks for.
struct TCommandLineRequest {
    bool Minimise = false;
    std::vector<String> HandedOverPaths;  // every token after "-a"
};
TCommandLineRequest ParseCommandLineText(const String& text);

// The start-up lock. Waits at most timeoutMillis for it; a start that cannot get it carries on
// without it rather than never starting.
class TStartupLock {
public:
    explicit TStartupLock(unsigned timeoutMillis = 30000);
    TStartupLock(const TStartupLock&) = delete;
    TStartupLock& operator=(const TStartupLock&) = delete;
    bool Held() const { return lock_.Held(); }
    void Release() { lock_.Release(); }

private:
    platform::SessionLock lock_;
};

}  // namespace manager
