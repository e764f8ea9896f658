// The notification-area icon on a private session bus: python-dbusmock stands in for the
// panel's StatusNotifierWatcher, and dbus-send for the panel asking the item and its menu.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/StatusNotifier.h"
#include "tests/common/SessionBus.h"
#include "tests/common/TestProfile.h"

namespace {

using namespace platform::desktop;
using namespace std::chrono_literals;
using tarvik::test::PrivateSessionBus;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a peer command while pumping the item, as the program's loop would; its output.
std::string AskWhilePumping(StatusNotifierItem& item, const std::string& command, const std::string& out) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", (command + " >'" + out + "' 2>&1").c_str(), nullptr);
        ::_exit(127);
    }
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
        pollfd p{item.Fd(), POLLIN, 0};
        ::poll(&p, 1, 20);
        item.Process();
        if (::waitpid(child, nullptr, WNOHANG) == child) return ReadAll(out);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return "(no answer) " + ReadAll(out);
}

TEST(StatusNotifierTest, NoWatcherMeansNoItem) {
    tarvik::test::ScopedTestProfile profile;
    PrivateSessionBus bus;
    EXPECT_EQ(StatusNotifierItem::Register("Tarvik", {}), nullptr);
}

TEST(StatusNotifierTest, PanelSeesTipAndMenuAndItsClicksComeBack) {
    tarvik::test::ScopedTestProfile profile;
    PrivateSessionBus bus;
    const std::string log = profile.Scratch("watcher.log");
    ASSERT_TRUE(bus.StartWatcher(log));

    std::vector<std::pair<int, int>> activations;
    std::vector<int> picked;
    TrayCallbacks callbacks;
    callbacks.activate = [&](int x, int y) { activations.emplace_back(x, y); };
    callbacks.menu = [] {
        std::vector<TrayMenuItem> menu(3);
        menu[0].id = 1, menu[0].label = "&Open";
        menu[1].id = 2, menu[1].separator = true;
        menu[2].id = 3, menu[2].label = "Start_Backup && more", menu[2].enabled = false;
        return menu;
    };
    callbacks.menuClicked = [&](int id) { picked.push_back(id); };
    auto item = StatusNotifierItem::Register("Tarvik", callbacks);
    ASSERT_NE(item, nullptr);
    EXPECT_NE(ReadAll(log).find("RegisterStatusNotifierItem \"org.kde.StatusNotifierItem-"), std::string::npos)
        << ReadAll(log);
    item->SetToolTip("Click for option's");
    item->SetIcon(2, 1, {0xFF102030u, 0x80FFFFFFu});

    EXPECT_NE(ReadAll(log).find(item->Service()), std::string::npos);
    const std::string ask = "dbus-send --session --print-reply --dest=" + item->Service() + " ";
    const std::string out = profile.Scratch("out.txt");

    const std::string tip = AskWhilePumping(*item, ask + "/StatusNotifierItem org.freedesktop.DBus.Properties.Get "
                                                         "string:org.kde.StatusNotifierItem string:ToolTip", out);
    EXPECT_NE(tip.find("Click for option's"), std::string::npos) << tip;
    const std::string icon = AskWhilePumping(*item, ask + "/StatusNotifierItem org.freedesktop.DBus.Properties.Get "
                                                          "string:org.kde.StatusNotifierItem string:IconPixmap", out);
    EXPECT_NE(icon.find("ff 10 20 30 80 ff ff ff"), std::string::npos) << icon;  // ARGB, big-endian

    AskWhilePumping(*item, ask + "/StatusNotifierItem org.kde.StatusNotifierItem.Activate int32:5 int32:6", out);
    EXPECT_EQ(activations, (std::vector<std::pair<int, int>>{{5, 6}}));

    const std::string layout =
        AskWhilePumping(*item, ask + "/MenuBar com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:", out);
    EXPECT_NE(layout.find("\"_Open\""), std::string::npos) << layout;
    EXPECT_NE(layout.find("\"separator\""), std::string::npos) << layout;
    EXPECT_NE(layout.find("\"Start__Backup & more\""), std::string::npos) << layout;
    AskWhilePumping(*item, ask + "/MenuBar com.canonical.dbusmenu.Event int32:1 string:clicked variant:int32:0 uint32:0",
                    out);
    EXPECT_EQ(picked, std::vector<int>{1});
}

TEST(StatusNotifierTest, APanelThatStartsAgainLearnsOfTheItem) {
    tarvik::test::ScopedTestProfile profile;
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.StartWatcher(profile.Scratch("first.log")));
    auto item = StatusNotifierItem::Register("Tarvik", {});
    ASSERT_NE(item, nullptr);
    bus.StopWatcher();
    const std::string log = profile.Scratch("second.log");
    ASSERT_TRUE(bus.StartWatcher(log));
    const auto registered = [&] { return ReadAll(log).find("RegisterStatusNotifierItem \"" + item->Service()) != std::string::npos; };
    for (auto end = std::chrono::steady_clock::now() + 10s; !registered() && std::chrono::steady_clock::now() < end;) {
        pollfd p{item->Fd(), POLLIN, 0};
        ::poll(&p, 1, 20);
        item->Process();
    }
    EXPECT_TRUE(registered()) << ReadAll(log);
}

}  // namespace
