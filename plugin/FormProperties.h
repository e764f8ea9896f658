// TFormProperties: the settings dialog of one backup, opened by ProvaProp for the backup's
// settings file. "Ok" writes the file and closes; "Cancel" and the close box close without
// writing. Closing frees the dialog.
#pragma once

#include "platform/ComCtrls.h"
#include "platform/CommonDialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"
#include "plugin/QelSettings.h"

namespace qel {

class TFormProperties : public TForm {
public:
    static constexpr int kPasswordMaxLength = 16;

    explicit TFormProperties(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TFormProperties"; }

    TPanel* PanelBanner = nullptr;
    TLabel* lFile = nullptr;  // hidden: the settings path
    TToolBar* ToolBarOpen = nullptr;
    TToolButton* cmdNew = nullptr;
    TToolButton* cmdOpen = nullptr;
    TEdit* eFile = nullptr;
    TToolBar* ToolBarQel = nullptr;
    TEdit* eQelFile = nullptr;
    TToolButton* cmdQelOpen = nullptr;
    TToolBar* ToolBarPrg = nullptr;
    TCheckBox* cCloseApp = nullptr;
    TEdit* ePrg = nullptr;
    TToolButton* cmdSelectPrg = nullptr;
    TPopupMenu* PopupMenuPrg = nullptr;
    TCheckBox* cPassword = nullptr;
    TEdit* ePassword = nullptr;
    TCheckBox* cFileSize = nullptr;
    TCheckBox* cFileDate = nullptr;
    TCheckBox* cClosePrg = nullptr;
    TCheckBox* cPanBox = nullptr;
    TCheckBox* cShutDown = nullptr;
    TButton* cmdHelp = nullptr;
    TButton* cmdCancel = nullptr;
    TButton* cmdOk = nullptr;
    TOpenDialog* OpenDialog = nullptr;
    TSaveDialog* SaveDialog = nullptr;

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void LoadFromIni();
    void SaveToIni();
    void cmdClick(TObject* Sender);
    void cCloseAppClick(TObject* Sender);
    void PopupMenuPrgPopup(TObject* Sender);
    void onPageClick(TObject* Sender);
    void tbResize(TObject* Sender);

private:
    void BuildForm();
};

}  // namespace qel
