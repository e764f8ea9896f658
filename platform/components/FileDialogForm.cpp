#include "platform/FileDialogForm.h"

#include <mutex>

#include "platform/CommonDialogs.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/FormatSettings.h"
#include "platform/display/Display.h"

namespace platform {
namespace {

// Posted to the form once its modal loop runs: hands it to the test driver.
constexpr UINT CM_FILEDIALOGSHOWN = CM_BASE + 0x3F1;

std::mutex g_driverMutex;
std::function<void(TFileDialogForm&)> g_driver;

std::function<void(TFileDialogForm&)> Driver() {
    std::lock_guard lock(g_driverMutex);
    return g_driver;
}

String SizeText(Int64 size) {
    if (size < 1024) return std::to_string(size) + " bytes";
    Int64 kb = (size + 1023) / 1024;
    String digits = std::to_string(kb), grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped + " KB";
}

const char* DefaultCaption(FileDialogMode mode) {
    switch (mode) {
        case FileDialogMode::Open: return "Open";
        case FileDialogMode::Save: return "Save As";
        case FileDialogMode::Folder: return "Browse for Folder";
    }
    return "";
}

// The form's layout: folder row on top, the list filling the middle, name and filter rows
// with OK and Cancel at the bottom right. Tab order follows creation.
void LayOut(TFileDialogForm& f, FileDialogMode mode, bool readOnlyBox) {
    f.SetBorderStyle(bsDialog);
    f.SetBorderIcons(biSystemMenu);
    f.SetPosition(poScreenCenter);
    f.SetKeyPreview(false);
    constexpr Integer kMargin = 10, kRow = 23, kLabel = 90, kButton = 85, width = 580, height = 420;
    f.Handle();  // the frame of the dialog border is known from here on
    f.SetClientWidth(width);
    f.SetClientHeight(height);
    const Integer right = width - kMargin;

    auto* lblPath = MakeComponent<TLabel>(&f, &f, "lblPath");
    lblPath->SetCaption(mode == FileDialogMode::Folder ? "Folder:" : "Look in:");
    lblPath->SetBounds(kMargin, kMargin + 4, kLabel - 5, 15);
    f.ePath = MakeComponent<TEdit>(&f, &f, "ePath");
    f.ePath->SetBounds(kMargin + kLabel, kMargin, right - kButton - 5 - kMargin - kLabel, kRow);
    f.btnUp = MakeComponent<TButton>(&f, &f, "btnUp");
    f.btnUp->SetCaption("&Up");
    f.btnUp->SetBounds(right - kButton, kMargin, kButton, kRow);

    const Integer bottomRows = 3 * (kRow + 6) + kMargin;
    f.lvFiles = MakeComponent<TListView>(&f, &f, "lvFiles");
    f.lvFiles->SetBounds(kMargin, kMargin + kRow + 8, width - 2 * kMargin, height - bottomRows - kRow - 18 - kMargin);
    f.lvFiles->SetViewStyle(vsReport);
    f.lvFiles->SetRowSelect(true);
    f.lvFiles->SetReadOnly(true);
    f.lvFiles->SetHideSelection(false);
    const char* captions[] = {"Name", "Size", "Modified"};
    const Integer widths[] = {300, 90, 130};
    for (int i = 0; i < 3; ++i) {
        TListColumn* c = f.lvFiles->Columns()->Add();
        c->SetCaption(captions[i]);
        c->SetWidth(widths[i]);
        if (i == 1) c->SetAlignment(taRightJustify);
    }

    Integer y = height - bottomRows + 4;
    f.lblName = MakeComponent<TLabel>(&f, &f, "lblName");
    f.lblName->SetCaption(mode == FileDialogMode::Folder ? "&Folder name:" : "File &name:");
    f.lblName->SetBounds(kMargin, y + 4, kLabel - 5, 15);
    f.eName = MakeComponent<TEdit>(&f, &f, "eName");
    f.eName->SetBounds(kMargin + kLabel, y, right - kButton - 10 - kMargin - kLabel, kRow);
    f.lblName->SetFocusControl(f.eName);
    f.btnOk = MakeComponent<TButton>(&f, &f, "btnOk");
    f.btnOk->SetCaption(mode == FileDialogMode::Save ? "&Save" : mode == FileDialogMode::Open ? "&Open" : "OK");
    f.btnOk->SetDefault(true);
    f.btnOk->SetBounds(right - kButton, y, kButton, kRow);

    y += kRow + 6;
    f.lblType = MakeComponent<TLabel>(&f, &f, "lblType");
    f.lblType->SetCaption("Files of &type:");
    f.lblType->SetBounds(kMargin, y + 4, kLabel - 5, 15);
    f.cbFilter = MakeComponent<TComboBox>(&f, &f, "cbFilter");
    f.cbFilter->SetStyle(csDropDownList);
    f.cbFilter->SetBounds(kMargin + kLabel, y, right - kButton - 10 - kMargin - kLabel, kRow);
    f.lblType->SetFocusControl(f.cbFilter);
    f.btnCancel = MakeComponent<TButton>(&f, &f, "btnCancel");
    f.btnCancel->SetCaption("Cancel");
    f.btnCancel->SetCancel(true);
    f.btnCancel->SetBounds(right - kButton, y, kButton, kRow);
    if (mode == FileDialogMode::Folder) {
        f.lblType->SetVisible(false);
        f.cbFilter->SetVisible(false);
    }

    y += kRow + 6;
    f.chkHidden = MakeComponent<TCheckBox>(&f, &f, "chkHidden");
    f.chkHidden->SetCaption("Show &hidden files");
    f.chkHidden->SetBounds(kMargin + kLabel, y, 160, 19);
    f.chkReadOnly = MakeComponent<TCheckBox>(&f, &f, "chkReadOnly");
    f.chkReadOnly->SetCaption("Open as &read-only");
    f.chkReadOnly->SetBounds(kMargin + kLabel + 170, y, 160, 19);
    f.chkReadOnly->SetVisible(readOnlyBox);

    // The name box has the focus first, as a person expects to type a name at once.
    f.SetActiveControl(f.eName);
}

}  // namespace

void SetFileDialogDriverForTests(std::function<void(TFileDialogForm&)> driver) {
    std::lock_guard lock(g_driverMutex);
    g_driver = std::move(driver);
}

TFileDialogForm::TFileDialogForm(const String& caption, FileDialogSetup& setup, const String& filter,
                                 const String& fileName)
    : TCustomForm(nullptr, ModuleContext{}), setup_(setup), model_(setup.mode, setup.options) {
    SetCaption(caption.empty() ? String(DefaultCaption(setup.mode)) : caption);
    model_.SetFilter(filter, setup.filterIndex);
    model_.SetDefaultExt(setup.defaultExt);
    String name = model_.Start(fileName, setup.initialDir);
    Build();
    eName->SetText(name);
    Refill();
}

void TFileDialogForm::Build() {
    LayOut(*this, setup_.mode,
           setup_.mode == FileDialogMode::Open && !(setup_.options & kFileDialogHideReadOnly));
    for (const FileFilter& f : model_.Filters())
        cbFilter->Items()->Add(f.description.empty() ? String("All files") : f.description);
    cbFilter->SetItemIndex(model_.FilterIndex() - 1);
    chkReadOnly->SetChecked(setup_.options & kFileDialogReadOnly);

    btnUp->OnClick = [this](TObject*) { GoUp(); };
    btnOk->OnClick = [this](TObject*) { OkClick(); };
    btnCancel->OnClick = [this](TObject*) { Finish(IDCANCEL); };
    cbFilter->OnChange = [this](TObject*) {
        model_.SetFilterIndex(cbFilter->ItemIndex() + 1);
        Refill();
    };
    chkHidden->OnClick = [this](TObject*) {
        model_.SetShowHidden(chkHidden->Checked());
        Refill();
    };
    lvFiles->OnSelectItem = [this](TObject*, TListItem* item, bool selected) {
        if (!selected || !item) return;
        const FileDialogEntry& e = entries_[static_cast<std::size_t>(item->Index())];
        if (e.folder == (setup_.mode == FileDialogMode::Folder)) eName->SetText(e.name);
    };
    lvFiles->OnDblClick = [this](TObject*) { OpenEntry(SelectedEntry()); };
    lvFiles->OnKeyDown = [this](TObject*, Word& key, TShiftState) {
        if (key == VK_BACK) {
            key = 0;
            GoUp();
        }
    };
    ePath->OnKeyDown = [this](TObject*, Word& key, TShiftState) {
        if (key != VK_RETURN) return;
        key = 0;
        OpenPath(ePath->Text());
    };
    OnClose = [this](TObject*, TCloseAction& action) {
        action = caHide;
        if (answer_ == 0) Finish(IDCANCEL);
    };
}

void TFileDialogForm::Refill() {
    entries_ = model_.List();
    ePath->SetText(model_.Folder());
    TListItems* items = lvFiles->Items();
    items->BeginUpdate();
    items->Clear();
    for (const FileDialogEntry& e : entries_) {
        TListItem* item = items->Add();
        item->SetCaption(e.folder ? e.name + "\\" : e.name);
        item->SubItems()->Add(e.folder ? String() : SizeText(e.size));
        item->SubItems()->Add(FormatDateTime("ddddd hh:nn", FileDateToDateTime(e.time), DefaultFormatSettings()));
    }
    items->EndUpdate();
}

TListItem* TFileDialogForm::SelectedEntry() const { return lvFiles->Selected(); }

void TFileDialogForm::GoUp() {
    if (model_.Up()) Refill();
}

void TFileDialogForm::OpenPath(const String& path) {
    if (model_.SetFolder(path)) {
        Refill();
        return;
    }
    Tell(path + "\nThe folder cannot be found.");
    ePath->SetText(model_.Folder());
}

void TFileDialogForm::OpenEntry(TListItem* item) {
    if (!item) return;
    const FileDialogEntry& e = entries_[static_cast<std::size_t>(item->Index())];
    if (e.folder) {
        OpenPath(model_.Folder() + e.name);
        if (setup_.mode == FileDialogMode::Folder) eName->SetText(String());
        return;
    }
    TakeDecision(model_.Confirm(e.name));
}

void TFileDialogForm::OkClick() {
    // Return in the list opens the chosen row; elsewhere it confirms the name box.
    if (ActiveControl() == lvFiles && SelectedEntry()) {
        const FileDialogEntry& e = entries_[static_cast<std::size_t>(SelectedEntry()->Index())];
        if (e.folder && setup_.mode != FileDialogMode::Folder) {
            OpenEntry(SelectedEntry());
            return;
        }
    }
    if (ActiveControl() == ePath) {
        OpenPath(ePath->Text());
        return;
    }
    TakeDecision(model_.Confirm(eName->Text()));
}

void TFileDialogForm::TakeDecision(const FileDialogModel::Decision& d) {
    using O = FileDialogModel::Outcome;
    switch (d.outcome) {
        case O::None: return;
        case O::EnterFolder:
            OpenPath(d.path);
            eName->SetText(String());
            return;
        case O::ApplyPattern:
            model_.SetTypedPattern(d.path);
            Refill();
            return;
        case O::FileMissing:
        case O::PathMissing: Tell(d.message); return;
        case O::AskOverwrite:
            if (!Ask(d.message)) return;
            break;
        case O::AskCreateFolder:
            if (!Ask(d.message)) return;
            if (!ForceDirectories(d.path)) {
                Tell(d.path + "\nThe folder cannot be created.");
                return;
            }
            break;
        case O::Accept: break;
    }
    result_ = d.path;
    Finish(IDOK);
}

bool TFileDialogForm::Ask(const String& message) {
    return MessageDlgWithTitle(message, mtConfirmation, mbYes | mbNo, 0, Caption()) == IDYES;
}

void TFileDialogForm::Tell(const String& message) {
    MessageDlgWithTitle(message, mtWarning, mbOK, 0, Caption());
}

void TFileDialogForm::Finish(int answer) {
    answer_ = answer;
    if (answer == IDOK) {
        setup_.filterIndex = model_.FilterIndex();
        setup_.readOnlyChecked = chkReadOnly->Visible() && chkReadOnly->Checked();
    }
    if (loop_) loop_->End();
}

void TFileDialogForm::WndProc(TMessage& Message) {
    if (Message.Msg == CM_FILEDIALOGSHOWN) {
        if (auto driver = Driver()) driver(*this);
        return;
    }
    TCustomForm::WndProc(Message);
}

int TFileDialogForm::Run() {
    // The window that was active waits disabled, as under any modal form.
    HWND owner = GetActiveWindow();
    bool disabled = owner && IsWindowEnabled(owner);
    if (disabled) EnableWindow(owner, FALSE_);
    ModalLoop loop;
    loop_ = &loop;
    answer_ = 0;
    Show();
    if (TWinControl* first = ActiveControl(); first && first->CanFocus()) first->SetFocus();
    if (Driver()) PostMessageA(Handle(), CM_FILEDIALOGSHOWN, 0, 0);
    bool ended = false;
    try {
        ended = loop.Run();
    } catch (...) {
        loop_ = nullptr;
        if (disabled) EnableWindow(owner, TRUE_);
        throw;
    }
    loop_ = nullptr;
    if (!ended) answer_ = IDCANCEL;
    if (Visible()) Hide();
    if (disabled) {
        EnableWindow(owner, TRUE_);
        SetActiveWindow(owner);
    }
    return answer_ == IDOK ? IDOK : IDCANCEL;
}

int ShowFileDialog(DialogRequest& request, FileDialogSetup& setup) {
    std::function<void(TFileDialogForm&)> driver = Driver();
    if (HasDialogHook() || (!driver && !PersonAtDisplay())) return ShowDialog(request);
    TFileDialogForm form(request.caption, setup, request.text, request.value);
    int answer = form.Run();
    if (answer == IDOK) request.value = form.Result();
    RecordDialog(request, answer);
    return answer;
}

}  // namespace platform

// The model's option bits are the class library's.
static_assert(platform::kFileDialogReadOnly == ofReadOnly && platform::kFileDialogOverwritePrompt == ofOverwritePrompt &&
              platform::kFileDialogHideReadOnly == ofHideReadOnly && platform::kFileDialogPathMustExist == ofPathMustExist &&
              platform::kFileDialogFileMustExist == ofFileMustExist);
