// Tarvik's icon on a panel that speaks StatusNotifierItem, on a private session bus:
// python-dbusmock is the panel's watcher, dbus-send the panel asking the item. The icon
// registers with its tip and its menu; the panel's Activate brings the minimised window back,
// and the menu's "Close (my Corvex)" ends the program after saving.
#include "DesktopProgram.h"
#include "tests/common/SessionBus.h"

using namespace desktoptest;

namespace {

class StatusNotifierProgramTest : public DesktopProgram {
protected:
    std::string Ask(const std::string& service, const std::vector<std::string>& call) {
        std::vector<std::string> args{"dbus-send", "--session", "--print-reply", "--dest=" + service};
        args.insert(args.end(), call.begin(), call.end());
        return RunTool(args);
    }
    std::string Property(const std::string& service, const std::string& name) {
        return Ask(service, {"/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                             "string:org.kde.StatusNotifierItem", "string:" + name});
    }
    // The menu entry's id, read from the layout in front of its label; -1 when absent.
    static int EntryId(const std::string& layout, const std::string& label) {
        const auto at = layout.find("string \"" + label + "\"");
        const auto id = at == std::string::npos ? at : layout.rfind("int32 ", at);
        return id == std::string::npos ? -1 : std::atoi(layout.c_str() + id + 6);
    }

    tarvik::test::PrivateSessionBus bus;
};

TEST_F(StatusNotifierProgramTest, TheIconRegistersWithTipAndMenuAndThePanelsCallsReachTheProgram) {
    const std::string log = (box.root / "watcher.log").string();
    ASSERT_TRUE(bus.StartWatcher(log));
    auto p = StartProgram();
    const std::string main = MainWindow(*p);
    ASSERT_FALSE(main.empty()) << Stderr();

    std::string service;
    ASSERT_TRUE(WaitUntil([&] {
        const std::string text = ReadFile(log);
        const std::string call = "RegisterStatusNotifierItem \"";
        const auto at = text.find(call);
        if (at == std::string::npos) return false;
        service = text.substr(at + call.size(), text.find('"', at + call.size()) - at - call.size());
        return true;
    })) << "no item registered; " << Stderr();
    EXPECT_EQ(Stderr().find("no notification area"), std::string::npos) << Stderr();

    EXPECT_NE(Property(service, "ToolTip").find("\"Click for option's\""), std::string::npos);
    EXPECT_NE(Property(service, "IconPixmap").find("int32 "), std::string::npos);
    const std::string menuPath = Property(service, "Menu");
    ASSERT_NE(menuPath.find("object path \"/"), std::string::npos) << menuPath;
    const std::string path = menuPath.substr(menuPath.find('"') + 1, menuPath.rfind('"') - menuPath.find('"') - 1);
    const std::string layout = Ask(service, {path, "com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1", "array:string:"});
    for (const char* label : {"Close (my Corvex)", "Start Backup", "Open"})
        EXPECT_GE(EntryId(layout, label), 1) << label << " in " << layout;

    // The panel's Activate (a click on the icon) brings the minimised window back.
    Minimise(main);
    Ask(service, {"/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", "int32:900", "int32:10"});
    EXPECT_TRUE(Restored(main)) << State(main);
    Shot("activated");

    // The panel shows the menu; a click on "Close (my Corvex)" there ends the program after saving.
    Ask(service, {path, "com.canonical.dbusmenu.Event", "int32:" + std::to_string(EntryId(layout, "Close (my Corvex)")),
                  "string:clicked", "variant:int32:0", "uint32:0"});
    EXPECT_EQ(p->Wait(), 0) << Stderr();
    EXPECT_EQ(ReadFile(box.Catalogue()), kSavedCatalogue);
}

}  // namespace
