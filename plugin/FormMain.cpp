#include "plugin/FormMain.h"

#include "platform/MessagePump.h"
#include "platform/SysUtils.h"

namespace qel {

TFormMain::TFormMain(TQelPage& page, HWND parent) : TForm(nullptr), page_(page) {
    BuildForm();
    SetParentWindow(parent);
    SetAlign(alClient);
    FinishCreate();
    ShowPage();
}

Integer TFormMain::SelectedRow() const {
    TListItem* item = lvRestore->Selected();
    if (!item) return -1;
    // Sub-item 4 keeps the entry's position in the archive, which the row's own position
    // stops being after a single remove.
    Integer index = StrToIntDef(item->SubItems()->Strings(4), -1);
    for (Integer row = 0; row < static_cast<Integer>(page_.Rows().size()); ++row)
        if (page_.Rows()[static_cast<std::size_t>(row)].Index == index) return row;
    return -1;
}

void TFormMain::ShowPage() {
    lvRestore->Items()->BeginUpdate();
    lvRestore->Items()->Clear();
    for (Integer row = 0; row < static_cast<Integer>(page_.Rows().size()); ++row) {
        auto texts = page_.RowTexts(row);
        TListItem* item = lvRestore->Items()->Add();
        item->SetCaption(texts[0]);
        for (std::size_t k = 1; k < texts.size(); ++k) item->SubItems()->Add(texts[k]);
        item->SubItems()->Add(IntToStr(page_.Rows()[static_cast<std::size_t>(row)].Index));
    }
    lvRestore->Items()->EndUpdate();
    ShowStatus();
}

void TFormMain::ZipperEndZip(TObject*, const String&, Int64, Int64, Int64) {
    lvRestore->SetEnabled(true);
    cmdRestore->SetEnabled(true);
    cmdRemove->SetEnabled(true);
}

void TFormMain::ListLoading(bool loading) {
    Screen->SetCursor(loading ? crHourGlass : crDefault);
    lvRestore->SetVisible(!loading);
    platform::ProcessPendingMessages();
}

void TFormMain::Working(bool working) { Screen->SetCursor(working ? crHourGlass : crDefault); }

void TFormMain::RowRemoved(Integer row) {
    if (row >= 0 && row < lvRestore->Items()->Count()) lvRestore->Items()->Delete(row);
    ShowStatus();
}

void TFormMain::lvRestoreSelectItem(TObject*, TListItem*, bool Selected) {
    cmdRestore->SetEnabled(Selected);
    cmdRemove->SetEnabled(Selected);
}

void TFormMain::PopupMenuPopup(TObject*) {
    bool selected = lvRestore->Selected() != nullptr;
    cmdInformation1->SetEnabled(selected);
    cmdRestore1->SetEnabled(selected);
    cmdRemove1->SetEnabled(selected);
}

void TFormMain::cmdClick(TObject* Sender) {
    if (Sender == cmdInformation1) {
        PageControl->SetActivePage(tsInfo);
    } else if (Sender == cmdRestore || Sender == cmdRestore1) {
        RestoreSelected();
    } else if ((Sender == cmdRemove || Sender == cmdRemove1) && SelectedRow() >= 0) {
        // A removed version cannot be had back: the person confirms which one goes.
        TListItem* item = lvRestore->Selected();
        const String question = "Remove " + item->Caption() + " of " + item->SubItems()->Strings(1) + " from the archive?";
        // While a backup runs the page refuses at once, without asking.
        if (page_.Busy() || MessageBoxA(nullptr, question.c_str(), "Remove", MB_YESNO | MB_ICONQUESTION) == IDYES)
            page_.Remove(SelectedRow());
    } else if (Sender == cmdMakeEXE) {
        // The button is disabled from creation and nothing enables it.
        if (page_.Busy()) {
            page_.MakeExe(String());  // refused, with the status saying so
        } else if (SaveDialogExe->Execute()) {
            page_.MakeExe(SaveDialogExe->FileName());
        }
    }
}

void TFormMain::cmdSecBackupClick(TObject*) { page_.SecureBackup(); }

void TFormMain::RestoreSelected() {
    Integer row = SelectedRow();
    if (row < 0) return;
    // While a backup runs the page refuses at once, before the user picks a place.
    if (page_.Busy()) {
        page_.Restore(row, String());
        return;
    }
    SaveDialogExe->SetTitle("Restore file to location...");
    SaveDialogExe->SetFilter("All files|*.*");
    SaveDialogExe->SetFileName(lvRestore->Selected()->Caption());
    if (SaveDialogExe->Execute()) page_.Restore(row, SaveDialogExe->FileName());
}

void TFormMain::tsShow(TObject* Sender) {
    if (Sender == tsHelp) {
        if (WebBrowserHelp->LocationName().empty()) WebBrowserHelp->Navigate(page_.PluginDataFolder() + "QelHelp.htm");
    } else if (Sender == tsInfo) {
        Integer row = SelectedRow();
        wbInfo->Navigate(page_.InfoPage(row >= 0 ? std::optional<Integer>(row) : std::nullopt));
    }
}

}  // namespace qel
