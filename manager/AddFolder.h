// TFormAddFolder, the dialog that adds or edits a folder of the catalogue, and TFormAbout, the
// about box. Both are created for one use; the folder dialog reports DialogResult (1 OK,
// 2 Cancel), the about box frees itself when it closes.
#pragma once

#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace manager {

class TFormAddFolder : public TForm {
public:
    explicit TFormAddFolder(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TFormAddFolder"; }

    TPageControl* PageControl = nullptr;
    TTabSheet *tsAddFolder = nullptr, *tsDelFolder = nullptr;
    TLabel* tsAddFolder_Time = nullptr;
    TEdit* tsAddFolder_Name = nullptr;
    TMemo* tsAddFolder_Description = nullptr;
    TButton *cmdHelp = nullptr, *cmdCancel = nullptr, *cmdOk = nullptr;

    Integer DialogResult = 2;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void tsAddFolder_DescriptionChange(TObject* Sender);
    void cmdClick(TObject* Sender);

private:
    void BuildForm();
};

class TFormAbout : public TForm {
public:
    explicit TFormAbout(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TFormAbout"; }

    TImage* Image = nullptr;
    TLabel* lTitle = nullptr;
    TButton *cmdOk = nullptr, *cmdClose = nullptr;

    void cmdOkClick(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);

private:
    void BuildForm();
};

}  // namespace manager
