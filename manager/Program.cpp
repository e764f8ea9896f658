// The program entry of Tarvik: one instance per desktop session. A later start hands its
// command line to the running instance and ends; the first start creates the main window and
// runs the message loop until the program ends.
#include <cstdio>
#include <vector>

#include "manager/Instance.h"
#include "manager/MainWindow.h"
#include "manager/Settings.h"
#include "manager/ShellHelpers.h"
#include "platform/Drives.h"
#include "platform/Exceptions.h"
#include "platform/MessageLoop.h"
#include "platform/Params.h"
#include "platform/Profile.h"
#include "platform/Forms.h"

using namespace manager;

namespace {

constexpr int kExitCommandLineTooLong = 2;
constexpr int kExitHandOverFailed = 3;
constexpr int kExitStartFailed = 4;
constexpr int kExitCommandLineNotTaken = 5;

LRESULT TerminationProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        if (FormMain) FormMain->CloseForTermination();
        else PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int HandOver(bool hasArguments) {
    switch (ActivateRunningInstance(hasArguments)) {
        case THandOver::Restored: return 0;
        case THandOver::CommandLineTooLong:
            std::fprintf(stderr,
                         "Tarvik: the command line is %zu characters long; at most %zu can be handed to the running "
                         "instance, which was only brought to the front.\n",
                         CommandLineText.size(), kMaxCommandLineText);
            return kExitCommandLineTooLong;
        case THandOver::AtomFailed:
            std::fprintf(stderr,
                         "Tarvik: the command line could not be handed to the running instance, which was only "
                         "brought to the front.\n");
            return kExitHandOverFailed;
        case THandOver::NotTaken:
            std::fprintf(stderr,
                         "Tarvik: the running instance did not take the command line (no answer within %u ms, or it "
                         "could not read it); it was only asked to come to the front.\n",
                         static_cast<unsigned>(platform::CrossProcessSendTimeout()));
            return kExitCommandLineNotTaken;
    }
    return kExitHandOverFailed;
}

int Run() {
    platform::ProfilePath();  // the profile holds the session folder the search looks in
    TStartupLock startupLock;
    std::vector<String> arguments;
    for (Integer i = 1; i <= ParamCount(); ++i) arguments.push_back(ParamStr(i));
    CommandLineText = BuildCommandLineText(arguments);

    if (FindRunningInstance()) {
        startupLock.Release();
        return HandOver(!arguments.empty());
    }

    SetApplicationTitle(kDefaultApplicationTitle);
    // The shortcuts of the options dialog are shell-link objects, which need COM on this
    // thread for the program's whole life.
    InitializeShellObjects();
    Application->Initialize();
    Application->SetTitle(kDefaultApplicationTitle);
    Application->CreateForm(FormMain);
    // A termination signal closes this window: it runs the close step's saving and ends the
    // program, where the window's own close box may only minimise it.
    platform::InstallTerminationSignals();
    HWND terminationWindow = AllocateHWnd(&TerminationProc);
    platform::SetMainWindow(terminationWindow);
    std::printf("Tarvik is running (profile %s, catalogue %s = %s). Stop it with Ctrl-C or SIGTERM.\n",
                platform::ProfilePath().c_str(), FormMain->BackupListFile.c_str(),
                platform::ToPosixPath(FormMain->BackupListFile).c_str());
    std::fflush(stdout);
    FormMain->Show();
    Application->SetShowMainForm(false);
    FormMain->ProcessCommandLine(CommandLineText);
    // Later starts may look for this window from now on; the loop answers them.
    startupLock.Release();
    Application->Run();
    platform::SetMainWindow(nullptr);
    DeallocateHWnd(terminationWindow);
    if (FormMain) FormMain->Free();  // when the close step has not freed it already
    FinalizeShellObjects();
    return platform::QuitRequested() ? platform::QuitExitCode() : 0;
}

}  // namespace

int main() {
    try {
        return Run();
    } catch (const Exception& e) {
        std::fprintf(stderr, "Tarvik: %s\n", e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Tarvik: %s\n", e.what());
    }
    return kExitStartFailed;
}
