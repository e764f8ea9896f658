#include "manager/AddFolder.h"

#include "manager/DialogParts.h"
#include "platform/DateTime.h"

namespace manager {
namespace {

constexpr Integer kNameLimit = 50;
constexpr Integer kDescriptionLimit = 255;

}  // namespace

TFormAddFolder::TFormAddFolder(TComponent* AOwner) : TForm(AOwner) {
    BuildForm();
    FinishCreate();
}

void TFormAddFolder::BuildForm() {
    SetName("FormAddFolder");
    SetCaption("Add Folder");
    SetBorderStyle(bsToolWindow);
    SetBounds(0, 0, 420, 260);
    SetPosition(poOwnerFormCenter);

    MakeDialogButtons(this, cmdHelp, cmdCancel, cmdOk, 250, 330, [this](TObject* s) { cmdClick(s); });

    PageControl = MakeDialogPages(this);
    tsAddFolder = MakeSheet(this, PageControl, "tsAddFolder");
    tsDelFolder = MakeSheet(this, PageControl, "tsDelFolder");

    MakeLabel(this, tsAddFolder, "Creation time:", 8, 8);
    tsAddFolder_Time = MakeLabel(this, tsAddFolder, "", 110, 8);
    tsAddFolder_Time->SetName("tsAddFolder_Time");
    tsAddFolder_Time->Font()->SetStyle(fsBold);
    MakeLabel(this, tsAddFolder, "Folder name:  ", 8, 32);
    tsAddFolder_Name = new TEdit(this);
    tsAddFolder_Name->SetName("tsAddFolder_Name");
    tsAddFolder_Name->SetParent(tsAddFolder);
    tsAddFolder_Name->SetBounds(110, 30, 290, 21);
    tsAddFolder_Name->SetMaxLength(kNameLimit);
    tsAddFolder_Name->Font()->SetStyle(fsBold);
    tsAddFolder_Name->SetText("");
    MakeLabel(this, tsAddFolder, "Description:  ", 8, 58);
    tsAddFolder_Description = new TMemo(this);
    tsAddFolder_Description->SetName("tsAddFolder_Description");
    tsAddFolder_Description->SetParent(tsAddFolder);
    tsAddFolder_Description->SetBounds(110, 56, 290, 100);
    tsAddFolder_Description->SetMaxLength(kDescriptionLimit);
    tsAddFolder_Description->SetText("");

    auto change = [this](TObject* s) { tsAddFolder_DescriptionChange(s); };
    tsAddFolder_Name->OnChange = change;
    tsAddFolder_Description->OnChange = change;
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TFormAddFolder::FormCreate(TObject*) {
    tsAddFolder_Time->SetCaption(DateTimeToStr(Now()));
    for (Integer i = 0; i < PageControl->PageCount(); ++i) PageControl->Pages(i)->SetTabVisible(false);
}

void TFormAddFolder::FormShow(TObject*) {
    if (tsAddFolder_Name->CanFocus()) tsAddFolder_Name->SetFocus();
    tsAddFolder_Name->SelectAll();
}

void TFormAddFolder::tsAddFolder_DescriptionChange(TObject*) { cmdOk->SetEnabled(true); }

void TFormAddFolder::cmdClick(TObject* Sender) {
    if (Sender == cmdCancel) {
        DialogResult = 2;
        Close();
    } else if (Sender == cmdOk) {
        DialogResult = 1;
        Close();
    }
    // "&Help" has no action.
}

// ---- TFormAbout

TFormAbout::TFormAbout(TComponent* AOwner) : TForm(AOwner) {
    BuildForm();
    FinishCreate();
}

void TFormAbout::BuildForm() {
    SetUniqueName("FormAbout");  // a closed one may still wait to be freed
    SetCaption("About");
    SetBorderStyle(bsToolWindow);
    SetColor(clBlack);
    SetPosition(poOwnerFormCenter);
    SetBounds(0, 0, 300, 200);
    Image = new TImage(this);
    Image->SetName("Image");
    Image->SetParent(this);
    Image->SetBounds(10, 10, 280, 120);
    lTitle = MakeLabel(this, this, "Corvex backup system", 20, 60);
    lTitle->Font()->SetColor(clWhite);
    cmdOk = new TButton(this);
    cmdOk->SetName("cmdOk");
    cmdOk->SetParent(this);
    cmdOk->SetCaption("  &Close");
    // Clear of the window's bottom edge in the client area the frame leaves.
    cmdOk->SetBounds(110, 140, 80, 25);
    cmdOk->OnClick = [this](TObject* s) { cmdOkClick(s); };
    // Enter and Escape close the box through this hidden button.
    cmdClose = new TButton(this);
    cmdClose->SetName("cmdClose");
    cmdClose->SetParent(this);
    cmdClose->SetVisible(false);
    cmdClose->SetDefault(true);
    cmdClose->SetCancel(true);
    cmdClose->OnClick = [this](TObject* s) { cmdOkClick(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

void TFormAbout::cmdOkClick(TObject*) { Close(); }

void TFormAbout::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

}  // namespace manager
