// TFormOptions, the modal dialog that edits the settings record in memory, writes the
// program's shortcuts in the four shell folders at once and the installation entries.
//
// The settings reach the registry only when the main window closes; the dialog frees itself
// when it closes.
#pragma once

#include "manager/Settings.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace manager {

// Writes the five installation entries under HKEY_CURRENT_USER. A key that cannot be created
// raises and leaves the remaining entries unwritten.
void WriteInstallationEntries(const String& title, const String& programPath);

class TFormOptions : public TForm {
public:
    explicit TFormOptions(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TFormOptions"; }

    TPageControl* PageControl = nullptr;
    TTabSheet *tsGeneral = nullptr, *tsActions = nullptr, *tsBackup = nullptr;
    TButton *cmdHelp = nullptr, *cmdCancel = nullptr, *cmdOk = nullptr;

    TComboBox* tsGeneral_Style = nullptr;
    TCheckBox *tsGeneral_cClosedM = nullptr, *tsGeneral_cOSStart = nullptr;
    TCheckBox *tsGeneral_cOnDesktop = nullptr, *tsGeneral_StartMenu = nullptr, *tsGeneral_cFavorites = nullptr;
    TSpeedButton* cmdMakeInstalation = nullptr;

    TCheckBox *tsActions_cAdd = nullptr, *tsActions_cCopy = nullptr, *tsActions_cChecking = nullptr,
              *tsActions_cBackup = nullptr;
    TCheckBox *tsActions_rAdd = nullptr, *tsActions_rCopy = nullptr, *tsActions_rChacking = nullptr,
              *tsActions_rBackup = nullptr;

    TToolBar* tbBackupSystem = nullptr;
    TLabel* lBackupSystem = nullptr;
    TComboBox* tsBackup_System = nullptr;
    TToolButton *cmdBackupConfigure = nullptr, *cmdBackupSep = nullptr, *cmdBackupGetNew = nullptr;
    TEdit* tsBackup_Name = nullptr;
    TCheckBox *tsBackup_cReport = nullptr, *tsBackup_EReport = nullptr, *tsBackup_cSMS = nullptr;
    TEdit *tsBackup_eEmail = nullptr, *tsBackup_SMSNumber = nullptr;

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void cmdOkClick(TObject* Sender);
    void cmdCancelClick(TObject* Sender);
    void cmdMakeInstalationClick(TObject* Sender);

    // The shortcut boxes in the order of the shortcut places (Desktop, Start Menu, Favorites,
    // Startup).
    TCheckBox* ShortcutBox(Integer index) const;

private:
    void BuildForm();
};

}  // namespace manager
