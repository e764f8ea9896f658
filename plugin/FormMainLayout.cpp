// The layout of the plug-in page: captions, sizes and the events the form binds.

#include "plugin/FormMain.h"

namespace qel {
namespace {

struct Column {
    const char* caption;
    Integer width;  // 0: fills the rest
    TAlignment alignment;
};
constexpr Column kColumns[] = {{"Name", 110, taLeftJustify},
                               {"Size (byt's)", 100, taRightJustify},
                               // Wide enough for a date and time in the desktop's font.
                               {"Date", 130, taRightJustify},
                               {"Full Path", 150, taLeftJustify},
                               {"Comment", 0, taLeftJustify}};
constexpr Integer kButtonWidth = 100;
constexpr Integer kSeparatorWidth = 8;

}  // namespace

void TFormMain::BuildForm() {
    SetBorderStyle(bsNone);
    SetCaption("Main");
    SetClientWidth(763);
    SetClientHeight(391);

    Panel = MakeComponent<TPanel>(this, this, "Panel");
    Panel->SetAlign(alClient);
    Panel->SetBevelOuter(bvLowered);
    Panel->SetBorderWidth(5);

    PageControl = MakeComponent<TPageControl>(this, Panel, "PageControl");
    PageControl->SetAlign(alClient);
    PageControl->SetTabPosition(tpLeft);
    PageControl->SetMultiLine(true);
    auto sheet = [this](const char* name, const char* caption) {
        auto* ts = MakeComponent<TTabSheet>(this, nullptr, name);
        ts->SetPageControl(PageControl);
        ts->SetCaption(caption);
        return ts;
    };
    tsRestore = sheet("tsRestore", "General");
    tsInfo = sheet("tsInfo", "Info");
    tsHelp = sheet("tsHelp", "Help");
    tsInfo->OnShow = [this](TObject* s) { tsShow(s); };
    tsHelp->OnShow = [this](TObject* s) { tsShow(s); };

    PopupMenu = MakeComponent<TPopupMenu>(this, nullptr, "PopupMenu");
    PopupMenu->OnPopup = [this](TObject* s) { PopupMenuPopup(s); };
    auto item = [this](const char* name, const char* caption) {
        auto* m = MakeComponent<TMenuItem>(this, nullptr, name);
        m->SetCaption(caption);
        m->OnClick = [this](TObject* s) { cmdClick(s); };
        PopupMenu->Items()->Add(m);
        return m;
    };
    cmdRestore1 = item("cmdRestore1", "Restore");
    cmdRestore1->SetDefault(true);
    cmdRestore1->SetShortCut(ShortCut('C', ssCtrl));
    cmdRemove1 = item("cmdRemove1", "Remove");
    cmdRemove1->SetShortCut(ShortCut(VK_DELETE, 0));
    item("N1", "-")->OnClick = nullptr;
    cmdInformation1 = item("cmdInformation1", "Information");

    ToolBarCmd = MakeComponent<TToolBar>(this, tsRestore, "ToolBarCmd");
    ToolBarCmd->SetAlign(alBottom);
    ToolBarCmd->SetFlat(true);
    ToolBarCmd->SetShowCaptions(true);
    ToolBarCmd->SetButtonWidth(kButtonWidth);
    auto button = [this](const char* name, const char* caption, TToolButtonStyle style = tbsButton) {
        auto* b = MakeComponent<TToolButton>(this, ToolBarCmd, name);
        b->SetStyle(style);
        // A separator is a narrow gap, not a button's width: at 100 it pushed "Make EXE" and
        // the status past the end of the bar.
        if (style == tbsSeparator) b->SetWidth(kSeparatorWidth);
        b->SetCaption(caption);
        if (style == tbsButton) b->OnClick = [this](TObject* s) { cmdClick(s); };
        return b;
    };
    cmdSecBackup = button("cmdSecBackup", "Secure backup");
    cmdSecBackup->OnClick = [this](TObject* s) { cmdSecBackupClick(s); };
    button("ToolButton1", "", tbsSeparator);
    cmdRestore = button("cmdRestore", "Restore");
    cmdRemove = button("cmdRemove", "Remove");
    button("ToolButton2", "", tbsSeparator);
    cmdMakeEXE = button("cmdMakeEXE", "Make EXE");
    cmdMakeEXE->SetEnabled(false);
    LInfo = MakeComponent<TLabel>(this, ToolBarCmd, "LInfo");
    LInfo->SetCaption("");

    lvRestore = MakeComponent<TListView>(this, tsRestore, "lvRestore");
    lvRestore->SetAlign(alClient);
    lvRestore->SetViewStyle(vsReport);
    lvRestore->SetGridLines(true);
    lvRestore->SetRowSelect(true);
    lvRestore->SetReadOnly(true);
    lvRestore->SetPopupMenu(PopupMenu);
    for (const Column& c : kColumns) {
        TListColumn* column = lvRestore->Columns()->Add();
        column->SetCaption(c.caption);
        column->SetAlignment(c.alignment);
        if (c.width) column->SetWidth(c.width);
        else column->SetAutoSize(true);
    }
    lvRestore->OnSelectItem = [this](TObject* s, TListItem* i, bool selected) { lvRestoreSelectItem(s, i, selected); };

    wbInfo = MakeComponent<TWebBrowser>(this, tsInfo, "wbInfo");
    wbInfo->SetAlign(alClient);
    WebBrowserHelp = MakeComponent<TWebBrowser>(this, tsHelp, "WebBrowserHelp");
    WebBrowserHelp->SetAlign(alClient);

    SaveDialogExe = MakeComponent<TSaveDialog>(this, nullptr, "SaveDialogExe");
    SaveDialogExe->SetFilter("Exe File|*.exe");
    SaveDialogExe->SetTitle("Make EXE File");

    PageControl->SetActivePage(tsRestore);
    cmdRestore->SetEnabled(false);
    cmdRemove->SetEnabled(false);
}

}  // namespace qel
