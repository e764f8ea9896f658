// The layout of the main window: captions, positions, sizes and colours, and the events the
// form definition binds. Behaviour lives in MainWindow.cpp.
#include "manager/MainWindow.h"

#include <functional>

#include "platform/Graphics.h"

namespace controls::resources {
extern const unsigned char kTrayIconBitmap[];
extern const std::size_t kTrayIconBitmapSize;
}  // namespace controls::resources

namespace manager {
namespace {

// The program's picture for the notification area, magenta where it is transparent.
void LoadTrayPicture(TIcon& icon) {
    TBitmap& image = icon.Image();
    image.LoadFromResourceData(controls::resources::kTrayIconBitmap, controls::resources::kTrayIconBitmapSize);
    constexpr TColor kClear = 0xFF00FF;
    auto& mask = icon.Mask();
    mask.assign(static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(image.Height()), false);
    for (Integer y = 0; y < image.Height(); ++y)
        for (Integer x = 0; x < image.Width(); ++x)
            mask[static_cast<std::size_t>(y * image.Width() + x)] = (image.Pixel(x, y) & 0xFFFFFF) == kClear;
}

// Header panels of the pages.
constexpr TColor kHeaderColor = 5791864;
constexpr TColor kHeaderTextColor = 49407;
constexpr Integer kHeaderHeight = 41;
constexpr Integer kLinkWidth = 120;
// The fixed notice in the third status panel.
constexpr const char* kStatusNotice = "Tarvik";

// The tool bar's "File", "Options" and "Help" stand in for a menu bar, and F10 opens the first
// of them as it opens a menu bar's first menu; Left and Right then walk along the bar. So the
// menus, and the commands that only they hold, are in reach of the keyboard.
constexpr Word kMenuBarKey = VK_F10;

class TMenuBarTitle : public TToolButton {
public:
    using TToolButton::TToolButton;
    bool IsFormShortCut(Word Key, TShiftState Shift) override {
        if (Key != kMenuBarKey || Shift != 0) return TToolButton::IsFormShortCut(Key, Shift);
        Click();
        return true;
    }
};

// The tree of the main window tells the window when it built a new window, and with it new
// node objects, so that the window can find its nodes again.
class TMainTreeEx : public TTreeEx {
public:
    using TTreeEx::TTreeEx;
    std::function<void()> OnWindowCreated;

protected:
    void CreateWnd() override {
        const bool rebuilt = hadWindow_;
        hadWindow_ = true;
        TTreeEx::CreateWnd();
        if (rebuilt && OnWindowCreated) OnWindowCreated();
    }

private:
    bool hadWindow_ = false;
};

TSpeedButton* Link(TComponent* owner, TWinControl* parent, const char* name, const char* caption, Integer right) {
    auto* b = MakeComponent<TSpeedButton>(owner, parent, name);
    b->SetCaption(caption);
    b->SetFlat(true);
    b->SetCursor(crHandPoint);
    b->SetBounds(right - kLinkWidth, 10, kLinkWidth, 21);
    return b;
}

}  // namespace

void TFormMain::BuildForm() {
    SetName("FormMain");
    SetBounds(0, 0, 640, 480);

    mnuFile = MakeComponent<TPopupMenu>(this, nullptr, "mnuFile");
    mnuOptions = MakeComponent<TPopupMenu>(this, nullptr, "mnuOptions");
    mnuHelp = MakeComponent<TPopupMenu>(this, nullptr, "mnuHelp");
    mnuOptions_OnTop = MakeComponent<TMenuItem>(this, nullptr, "mnuOptions_OnTop");
    mnuOptions_OnTop->SetCaption("Always on top");
    mnuOptions_OnTop->SetHint("Make application always visible");
    mnuOptions_OnTop->OnClick = [this](TObject* s) { mnuOptions_OnTopClick(s); };
    mnuOptions->Items()->Add(mnuOptions_OnTop);
    PopupMenuLeft = MakeComponent<TPopupMenu>(this, nullptr, "PopupMenuLeft");
    PopupMenuSysTray = MakeComponent<TPopupMenu>(this, nullptr, "PopupMenuSysTray");

    CoolBar = MakeComponent<TCoolBar>(this, this, "CoolBar");
    CoolBar->SetAlign(alTop);
    CoolBar->SetHeight(26);
    ToolBar = MakeComponent<TToolBar>(this, CoolBar, "ToolBar");
    ToolBar->SetFlat(true);
    ToolBar->SetShowCaptions(true);
    CoolBar->AddBand()->SetControl(ToolBar);
    struct Drop {
        TToolButton** button;
        const char* name;
        const char* caption;
        TPopupMenu* menu;
    };
    for (const Drop& d : {Drop{&tbFile, "tbFile", "File", mnuFile}, Drop{&tbOptions, "tbOptions", "Options", mnuOptions},
                          Drop{&tbHelp, "tbHelp", "Help", mnuHelp}}) {
        *d.button = d.button == &tbFile ? MakeComponent<TMenuBarTitle>(this, ToolBar, d.name)
                                        : MakeComponent<TToolButton>(this, ToolBar, d.name);
        (*d.button)->SetCaption(d.caption);
        (*d.button)->SetDropdownMenu(d.menu);
    }

    StatusBar = MakeComponent<TStatusBar>(this, this, "StatusBar");
    StatusBar->SetAlign(alBottom);
    for (Integer width : {190, 120, 50}) StatusBar->Panels()->Add()->SetWidth(width);
    StatusBar->Panels()->Items(2)->SetBiDiMode(bdRightToLeft);
    StatusBar->Panels()->Items(2)->SetBevel(pbNone);
    StatusBar->Panels()->Items(2)->SetText(kStatusNotice);
    StatusBar->OnResize = [this](TObject* s) { StatusBarResize(s); };

    PanelLeft = MakeComponent<TPanel>(this, this, "PanelLeft");
    PanelLeft->SetAlign(alLeft);
    PanelLeft->SetWidth(101);
    PanelLeft->SetBevelOuter(bvNone);
    ImageListNT = MakeComponent<TImageList>(this, nullptr, "ImageListNT");
    TreeEx = MakeComponent<TMainTreeEx>(this, PanelLeft, "TreeEx");
    TreeEx->SetAlign(alClient);
    TreeEx->SetImages(ImageListNT);
    TreeEx->SetIndent(19);
    TreeEx->SetItemHeight(16);
    TreeEx->SetScrollTime(0);
    TreeEx->SetInsertMarkColor(13160664);
    TreeEx->SetChangeDelay(0);
    using enum TTreeOption;
    TreeEx->SetOptions({toAutoExpand, toAutoScroll, toEvenHeight, toHideSelection, toInfoTip, toRightClickSelect,
                        toShowButtons, toShowLines});
    TreeEx->SetPopupMenu(PopupMenuLeft);
    TreeEx->OnChange = [this](TObject* s, TTreeExNode* n) { TreeExChange(s, n); };
    TreeEx->OnEditing = [this](TObject* s, TTreeExNode* n, bool& allow) { TreeExEditing(s, n, allow); };
    TreeEx->OnGetPopupMenu = [this](TObject* s, TTreeExNode* n, bool& askParent, TPopupMenu*& menu) {
        TreeExGetPopupMenu(s, n, askParent, menu);
    };
    TreeEx->OnDeletion = [this](TObject* s, TTreeExNode* n) { TreeExDeletion(s, n); };
    static_cast<TMainTreeEx*>(TreeEx)->OnWindowCreated = [this] { TreeExRecreated(); };
    Splitter = MakeComponent<TSplitter>(this, this, "Splitter");
    // Left-aligned controls line up by their left edge: the splitter starts right of the tree's
    // panel, else it lands at the window's edge and drags nothing.
    Splitter->SetLeft(PanelLeft->Left() + PanelLeft->Width());
    Splitter->SetAlign(alLeft);
    Splitter->SetWidth(5);

    PageControl = MakeComponent<TPageControl>(this, this, "PageControl");
    PageControl->SetAlign(alClient);
    PageControl->SetStyle(tsFlatButtons);
    // Its tabs are hidden and pages change by code only: nothing there for the keyboard.
    PageControl->SetTabStop(false);

    auto page = [this](const char* name, const char* caption) {
        auto* ts = MakeComponent<TTabSheet>(this, nullptr, name);
        ts->SetPageControl(PageControl);
        ts->SetCaption(caption);
        return ts;
    };
    auto header = [this](TTabSheet* ts, const char* name, const char* title) {
        auto* panel = MakeComponent<TPanel>(this, ts, name);
        panel->SetAlign(alTop);
        panel->SetHeight(kHeaderHeight);
        panel->SetColor(kHeaderColor);
        panel->SetBevelOuter(bvNone);
        panel->Font()->SetColor(kHeaderTextColor);
        auto* label = MakeComponent<TLabel>(this, panel, (String(name) + "_Label").c_str());
        label->SetCaption(title);
        label->Font()->SetStyle(fsBold);
        label->SetBounds(8, 4, 200, 16);
        auto* image = MakeComponent<TImage>(this, panel, (String(name) + "_Image").c_str());
        image->SetAlign(alRight);
        image->SetWidth(40);
        return std::make_pair(panel, label);
    };

    tsFiles = page("tsFiles", "Files");
    auto [filesHeader, filesLabel] = header(tsFiles, "PanelFiles", "");
    PanelFiles_Label = filesLabel;
    cmdFilesProperties = Link(this, filesHeader, "cmdFilesProperties", "Click for Properties", 480);
    cmdFilesBackup = Link(this, filesHeader, "cmdFilesBackup", "Click for Backup", 356);
    PanelMain = MakeComponent<TPanel>(this, tsFiles, "PanelMain");
    PanelMain->SetAlign(alClient);
    PanelMain->SetBevelOuter(bvNone);
    PanelMain->OnResize = [this](TObject* s) { PanelMainResize(s); };

    tsActions = page("tsActions", "Actions");
    auto [actionsHeader, actionsLabel] = header(tsActions, "PanelActions", "Actions");
    auto* italic = MakeComponent<TLabel>(this, actionsHeader, "PanelActions_Label2");
    italic->SetCaption("   monitor transactions and other informations");
    italic->Font()->SetStyle(fsItalic);
    italic->SetBounds(8, 22, 300, 16);
    (void)actionsLabel;
    cmdActionsProperties = Link(this, actionsHeader, "cmdActionsProperties", "Click for Properties", 480);
    lvActions = MakeComponent<TListView>(this, tsActions, "lvActions");
    lvActions->SetAlign(alClient);
    lvActions->SetViewStyle(vsReport);
    lvActions->SetReadOnly(true);
    lvActions->SetGridLines(true);
    lvActions->SetRowSelect(true);
    struct Column {
        const char* caption;
        Integer width;
    };
    for (const Column& c : {Column{"Name", 110}, Column{"Precesses", 100}, Column{"Tread", 0}}) {
        TListColumn* col = lvActions->Columns()->Add();
        col->SetCaption(c.caption);
        if (c.width) col->SetWidth(c.width);
        else col->SetAutoSize(true);
    }

    tsHistory = page("tsHistory", "History");
    auto [historyHeader, historyLabel] = header(tsHistory, "PanelHistory", "History");
    (void)historyLabel;
    cmdHistorySave = Link(this, historyHeader, "cmdHistorySave", "Click for Save", 480);
    cmdHistorySearch = Link(this, historyHeader, "cmdHistorySearch", "Click for Search", 356);
    mHistory = MakeComponent<TMemo>(this, tsHistory, "mHistory");
    mHistory->SetAlign(alClient);
    mHistory->SetReadOnly(true);
    mHistory->SetScrollBars(ssBoth);
    mHistory->SetWantReturns(false);
    mHistory->SetColor(clInfoBk);
    mHistory->Font()->SetName("Lucida Console");
    mHistory->Font()->SetHeight(-11);
    mHistory->Font()->SetStyle(fsBold);

    tsBackupInfo = page("tsBackupInfo", "");
    auto [infoHeader, infoLabel] = header(tsBackupInfo, "tsBackupInfo_Panel", "");
    tsBackupInfo_L1 = infoLabel;
    tsBackupInfo_L1->SetName("tsBackupInfo_L1");
    cmdWelcome = Link(this, infoHeader, "cmdWelcome", "Click for Welcome", 480);
    cmdHelp = Link(this, infoHeader, "cmdHelp", "Click for Help", 356);
    MainWebBrowser = MakeComponent<TWebBrowser>(this, tsBackupInfo, "MainWebBrowser");
    MainWebBrowser->SetAlign(alClient);

    for (TTabSheet* ts : {tsFiles, tsActions, tsHistory}) ts->OnShow = [this](TObject* s) { tsShow(s); };

    BuildMenus();

    // The icon in the notification area neither minimises the program into it nor cycles.
    TrayIcon = MakeComponent<TTrayIcon>(this, nullptr, "TrayIcon");
    TrayIcon->SetHint("Click for option's");
    TrayIcon->SetShowHint(true);
    TrayIcon->SetCycleInterval(200);
    TrayIcon->SetPopupMenu(PopupMenuSysTray);
    TIcon picture;
    LoadTrayPicture(picture);
    TrayIcon->SetIcon(&picture);

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnDestroy = [this](TObject* s) { FormDestroy(s); };
}

}  // namespace manager
