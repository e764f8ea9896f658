// The program entry of Tarvik: one instance per desktop session. A later start hands its
// command line to the running instance and ends; the first start creates the main window and
// runs the message loop until the program ends.
#include <cstdio>
#include <vector>

#include "manager/Instance.h"
#include "manager/MainWindow.h"
#include "manager/Settings.h"
#include "platform/Drives.h"
#include "platform/Exceptions.h"
#include "platform/MessageLoop.h"
#include "platform/Params.h"
#include "platform/Profile.h"

using namespace manager;

namespace {

constexpr int kExitCommandLineTooLong = 2;
constexpr int kExitHandOverFailed = 3;
constexpr int kExitStartFailed = 4;

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
    platform::InstallTerminationSignals();
    TFormMain form;
    form.FormCreate();
    std::printf("Tarvik is running (profile %s, catalogue %s = %s). Stop it with Ctrl-C or SIGTERM.\n",
                platform::ProfilePath().c_str(), form.BackupListFile.c_str(),
                platform::ToPosixPath(form.BackupListFile).c_str());
    std::fflush(stdout);
    form.ProcessCommandLine(CommandLineText);
    // Later starts may look for this window from now on; the loop answers them.
    startupLock.Release();
    return platform::RunMessageLoop();
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
