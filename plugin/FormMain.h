// TFormMain: the controls of a plug-in page. The restore list, the tool bar with its buttons
// and status label, the information and help tabs and the list's popup menu. Handlers read
// the controls, call the page's logic (QelPage) and show the result.
#pragma once

#include "platform/ComCtrls.h"
#include "platform/CommonDialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"
#include "platform/WebBrowser.h"
#include "platform/SysUtils.h"
#include "plugin/QelPage.h"

namespace qel {

class TFormMain : public TForm {
public:
    // A page form on page's logic, inside the window parent.
    TFormMain(TQelPage& page, HWND parent);
    const char* ClassName() const noexcept override { return "TFormMain"; }

    TPanel* Panel = nullptr;
    TPageControl* PageControl = nullptr;
    TTabSheet* tsRestore = nullptr;
    TTabSheet* tsInfo = nullptr;
    TTabSheet* tsHelp = nullptr;
    TListView* lvRestore = nullptr;
    TToolBar* ToolBarCmd = nullptr;
    TToolButton* cmdSecBackup = nullptr;
    TToolButton* cmdRestore = nullptr;
    TToolButton* cmdRemove = nullptr;
    TToolButton* cmdMakeEXE = nullptr;
    TLabel* LInfo = nullptr;
    TWebBrowser* wbInfo = nullptr;
    TWebBrowser* WebBrowserHelp = nullptr;
    TPopupMenu* PopupMenu = nullptr;
    TMenuItem* cmdRestore1 = nullptr;
    TMenuItem* cmdRemove1 = nullptr;
    TMenuItem* cmdInformation1 = nullptr;
    TSaveDialog* SaveDialogExe = nullptr;

    // Fills the restore list from the page's rows and shows the status.
    void ShowPage();
    // The status names files, whose "&" a label would take for an accelerator mark.
    void ShowStatus() { LInfo->SetCaption(StringReplace(page_.Status(), "&", "&&", rfReplaceAll)); }
    // The row selected in the list, or -1.
    Integer SelectedRow() const;

    // After each file the archive stored: the list and the buttons "Restore" and "Remove"
    // are enabled, also with no row selected (pressing them then does nothing).
    void ZipperEndZip(TObject* Sender, const String& FName, Int64 UncompressedSize, Int64 CompressedSize,
                      Int64 CurrentZipSize);
    // While the restore list loads: the hourglass, the list hidden, pending messages served.
    void ListLoading(bool loading);
    // The hourglass while a backup runs.
    void Working(bool working);
    // Takes one row out of the list; the others keep their numbers.
    void RowRemoved(Integer row);

    void cmdClick(TObject* Sender);
    void cmdSecBackupClick(TObject* Sender);
    void lvRestoreSelectItem(TObject* Sender, TListItem* Item, bool Selected);
    void PopupMenuPopup(TObject* Sender);
    void tsShow(TObject* Sender);
    void RestoreSelected();

private:
    void BuildForm();
    TQelPage& page_;
};

}  // namespace qel
