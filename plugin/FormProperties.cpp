#include "plugin/FormProperties.h"


#include "plugin/ProgramWatch.h"

namespace qel {
namespace {

constexpr Integer kRowHeight = 20;  // with the banner, every row and the buttons fit the client height
constexpr Integer kCloseAppWidth = 125;  // "Close App Name:" with its box, in the desktop's font

}  // namespace

TFormProperties::TFormProperties(TComponent* AOwner) : TForm(AOwner) {
    BuildForm();
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    FinishCreate();
}

void TFormProperties::BuildForm() {
    SetName("FormProperties");
    SetCaption("Properties");
    SetBorderStyle(bsToolWindow);
    // The frame of a tool window is known once the window exists; a client size set before
    // would take the frame out of the client area and put the buttons below the edge.
    Handle();
    SetClientWidth(373);
    SetClientHeight(305);
    SetPosition(poScreenCenter);

    // Rows aligned to the top stack by their Top: each new row is placed below the last
    // before it is aligned, or it would go above the rows made before it.
    Integer rowTop = 0;
    auto stack = [&rowTop](TControl* c) {
        c->SetTop(rowTop += 1000);
        c->SetAlign(alTop);
    };
    PanelBanner = MakeComponent<TPanel>(this, this, "PanelBanner");
    stack(PanelBanner);
    PanelBanner->SetHeight(41);
    PanelBanner->SetColor(clWhite);
    lFile = MakeComponent<TLabel>(this, this, "lFile");
    lFile->SetVisible(false);

    auto bar = [this, &stack](const char* name) {
        auto* b = MakeComponent<TToolBar>(this, this, name);
        stack(b);
        b->SetHeight(kRowHeight + 4);
        b->SetShowCaptions(true);
        b->OnResize = [this](TObject* s) { tbResize(s); };
        return b;
    };
    auto tool = [this](TToolBar* parent, const char* name, const char* caption) {
        auto* b = MakeComponent<TToolButton>(this, parent, name);
        b->SetCaption(caption);
        b->OnClick = [this](TObject* s) { cmdClick(s); };
        return b;
    };
    ToolBarOpen = bar("ToolBarOpen");
    cmdNew = tool(ToolBarOpen, "cmdNew", "New");
    cmdOpen = tool(ToolBarOpen, "cmdOpen", "Open");
    eFile = MakeComponent<TEdit>(this, ToolBarOpen, "eFile");
    eFile->SetReadOnly(true);

    ToolBarQel = bar("ToolBarQel");
    eQelFile = MakeComponent<TEdit>(this, ToolBarQel, "eQelFile");
    cmdQelOpen = tool(ToolBarQel, "cmdQelOpen", "Qel File");

    ToolBarPrg = bar("ToolBarPrg");
    cCloseApp = MakeComponent<TCheckBox>(this, ToolBarPrg, "cCloseApp");
    cCloseApp->SetCaption("Close App Name:");
    cCloseApp->SetWidth(kCloseAppWidth);
    cCloseApp->OnClick = [this](TObject* s) { cCloseAppClick(s); };
    ePrg = MakeComponent<TEdit>(this, ToolBarPrg, "ePrg");
    PopupMenuPrg = MakeComponent<TPopupMenu>(this, nullptr, "PopupMenuPrg");
    PopupMenuPrg->OnPopup = [this](TObject* s) { PopupMenuPrgPopup(s); };
    auto* none = MakeComponent<TMenuItem>(this, nullptr, "None1");
    none->SetCaption("None");
    PopupMenuPrg->Items()->Add(none);
    cmdSelectPrg = MakeComponent<TToolButton>(this, ToolBarPrg, "cmdSelectPrg");
    cmdSelectPrg->SetCaption("Select");
    cmdSelectPrg->SetStyle(tbsDropDown);
    cmdSelectPrg->SetDropdownMenu(PopupMenuPrg);

    auto check = [this, &stack](const char* name, const char* caption) {
        auto* c = MakeComponent<TCheckBox>(this, this, name);
        stack(c);
        c->SetHeight(kRowHeight);
        c->SetCaption(caption);
        return c;
    };
    cPassword = check("cPassword", "With password");
    cPassword->OnClick = [this](TObject* s) { cCloseAppClick(s); };
    ePassword = MakeComponent<TEdit>(this, this, "ePassword");
    stack(ePassword);
    ePassword->SetMaxLength(kPasswordMaxLength);
    ePassword->SetPasswordChar('#');
    auto* spacer = MakeComponent<TBevel>(this, this, "Spacer");
    stack(spacer);
    spacer->SetHeight(8);
    cFileSize = check("cFileSize", "Backup on file size change");
    cFileDate = check("cFileDate", "Backup on file date change");
    cClosePrg = check("cClosePrg", "Backup on close program");
    cPanBox = check("cPanBox", "Use Vantrel's Box");
    cShutDown = check("cShutDown", "On Backup SHUTDOWN my Computer");

    auto button = [this](const char* name, const char* caption, Integer left) {
        auto* b = MakeComponent<TButton>(this, this, name);
        b->SetCaption(caption);
        b->SetBounds(left, 272, 75, 25);
        b->OnClick = [this](TObject* s) { cmdClick(s); };
        return b;
    };
    cmdHelp = button("cmdHelp", "&Help", 120);
    cmdCancel = button("cmdCancel", " &Cancel ", 205);
    cmdOk = button("cmdOk", "  &Ok  ", 290);

    OpenDialog = MakeComponent<TOpenDialog>(this, nullptr, "OpenDialog");
    OpenDialog->SetFilter("Qel File|*.Zip");
    OpenDialog->SetTitle("Select Qel Sistem FILE");
    OpenDialog->SetOptions(ofHideReadOnly | ofShowHelp | ofPathMustExist | ofFileMustExist | ofEnableSizing);
    SaveDialog = MakeComponent<TSaveDialog>(this, nullptr, "SaveDialog");
}

void TFormProperties::FormCreate(TObject*) {
    SetModalResult(mrCancel);
    // The buttons took their captions after joining their bars: lay them out by their words
    // before the edits get what they leave.
    for (TToolBar* bar : {ToolBarOpen, ToolBarQel, ToolBarPrg}) bar->Realign();
    tbResize(nullptr);
}

void TFormProperties::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

void TFormProperties::LoadFromIni() {
    TQelSettings s = LoadQelSettings(lFile->Caption());
    eFile->SetText(s.ZipFile);
    cCloseApp->SetChecked(s.CloseApp);
    ePrg->SetText(s.AppPrg);
    // A longer password written by other means is kept as it stands; only typing is limited.
    ePassword->SetText(s.Pass);
    eQelFile->SetText(s.QelFile);
    cPassword->SetChecked(s.Password);
    cFileSize->SetChecked(s.FileSize);
    cFileDate->SetChecked(s.FileDate);
    cClosePrg->SetChecked(s.ClosePrg);
    cPanBox->SetChecked(s.PanBox);
    cShutDown->SetChecked(s.ShutDown);
    cCloseAppClick(nullptr);
}

void TFormProperties::SaveToIni() {
    TQelSettings s;
    s.ZipFile = eFile->Text();
    s.CloseApp = cCloseApp->Checked();
    s.AppPrg = ePrg->Text();
    s.Pass = ePassword->Text();
    s.QelFile = eQelFile->Text();
    s.Password = cPassword->Checked();
    s.FileSize = cFileSize->Checked();
    s.FileDate = cFileDate->Checked();
    s.ClosePrg = cClosePrg->Checked();
    s.PanBox = cPanBox->Checked();
    s.ShutDown = cShutDown->Checked();
    SaveQelSettings(lFile->Caption(), s);
}

void TFormProperties::cmdClick(TObject* Sender) {
    if (Sender == cmdOk) {
        SaveToIni();
        // A modal result ends the modal loop, which closes (and so frees) the dialog.
        SetModalResult(mrOk);
    } else if (Sender == cmdCancel) {
        SetModalResult(mrCancel);
    } else if (Sender == cmdNew) {
        if (SaveDialog->Execute()) eFile->SetText(SaveDialog->FileName());
    } else if (Sender == cmdOpen) {
        if (OpenDialog->Execute()) eFile->SetText(OpenDialog->FileName());
    } else if (Sender == cmdQelOpen) {
        if (OpenDialog->Execute()) eQelFile->SetText(OpenDialog->FileName());
    } else if (Sender == cmdHelp) {
        ShowMessage("Help");
    }
}

void TFormProperties::cCloseAppClick(TObject*) {
    ePrg->SetEnabled(cCloseApp->Checked());
    ePassword->SetEnabled(cPassword->Checked());
}

void TFormProperties::PopupMenuPrgPopup(TObject*) {
    PopupMenuPrg->Items()->Clear();
    for (const auto& w : ListProgramWindows()) {
        auto* item = new TMenuItem(this);
        item->SetCaption(w.Caption);
        item->OnClick = [this](TObject* s) { onPageClick(s); };
        PopupMenuPrg->Items()->Add(item);
    }
}

void TFormProperties::onPageClick(TObject* Sender) {
    if (auto* item = dynamic_cast<TMenuItem*>(Sender)) ePrg->SetText(item->Caption());
}

void TFormProperties::tbResize(TObject* Sender) {
    if (!Sender || Sender == ToolBarOpen)
        eFile->SetWidth(ToolBarOpen->Width() - cmdNew->Width() - cmdOpen->Width() - 10);
    if (!Sender || Sender == ToolBarPrg)
        ePrg->SetWidth(ToolBarPrg->Width() - cCloseApp->Width() - cmdSelectPrg->Width() - 4);
    if (!Sender || Sender == ToolBarQel) eQelFile->SetWidth(ToolBarQel->Width() - cmdQelOpen->Width() - 6);
}

}  // namespace qel
