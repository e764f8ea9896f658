// TFormBackupProp, the dialog that adds or edits a backup: its name, description and the
// plug-in that serves it, with the plug-in's name, description, information and settings.
//
// The main window creates it for one use, fills the own fields, shows it modally and reads
// DialogResult (1 OK, 2 Cancel) and the controls' texts after it closed.
#pragma once

#include "manager/PluginHost.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace manager {

// The enabled states of the dialog's buttons for a plug-in text and a name.
struct TBackupPropButtons {
    bool PluginButtons = false;  // "Info", "Delete", "Configure"
    bool Ok = false;
};
TBackupPropButtons BackupPropButtons(const String& systemText, const String& name);

// The plug-in names of the scanner's result lines: file names without folder and extension.
std::vector<String> PluginNames(const TStringList& foundFiles);

class TFormBackupProp : public TForm {
public:
    // The plug-ins are listed from pluginsFolder (with its trailing backslash); host makes
    // the library calls.
    TFormBackupProp(TComponent* AOwner, TPluginHost& host, const String& pluginsFolder);
    const char* ClassName() const noexcept override { return "TFormBackupProp"; }

    TPageControl* PageControl = nullptr;
    TTabSheet *tsBackup = nullptr, *tsDelete = nullptr;
    TLabel* lTime = nullptr;
    TEdit* tsBackup_BackupName = nullptr;
    TMemo* tsBackup_BackupDescription = nullptr;
    TToolBar* tbSystem = nullptr;
    TLabel* lSystem = nullptr;
    TComboBox* tsBackup_SystemName = nullptr;
    TToolButton *cmdBackupInfo = nullptr, *cmdBackupGetNew = nullptr, *cmdBackupSep = nullptr,
                *cmdBackupDelete = nullptr;
    TPanel* PanelSystem = nullptr;
    TLabel *lsysName = nullptr, *lSysBackup = nullptr;
    TButton* cmdConfig = nullptr;
    TButton *cmdHelp = nullptr, *cmdCancel = nullptr, *cmdOk = nullptr;

    String HelpFile;
    String BackupID;
    String DataFolder;
    String SystemNameToSelect;
    Integer DialogResult = 2;
    TDateTime CreationTime = 0;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void tsBackup_BackupNameChange(TObject* Sender);
    void cmdClick(TObject* Sender);
    void tbResize(TObject* Sender);
    void UpdatePluginText();
    void ShowPluginInfo();
    void ConfigurePlugin();

    // The library of the chosen plug-in and the settings file of this backup.
    String LibraryPath() const;
    String BackupSettingsFile() const { return DataFolder + BackupID; }

private:
    void BuildForm();
    TPluginHost& host_;
    String pluginsFolder_;
};

}  // namespace manager
