// TFormProperties: the settings dialog of one backup, opened by ProvaProp. Its controls are
// kept as plain values here (the dialog hook of the layer fills them headless); "Ok" writes
// the settings file, "Cancel" and the close box leave it as it was.
#pragma once

#include <vector>

#include "plugin/QelSettings.h"

class TApplication;

namespace qel {

class TFormProperties {
public:
    static constexpr const char* kCaption = "Properties";
    static constexpr int kPasswordMaxLength = 16;

    explicit TFormProperties(TApplication* application) : application_(application) {}

    // The controls.
    String lFile;  // hidden: the settings path
    String eFile;
    String eQelFile;
    bool cCloseApp = false;
    String ePrg;
    bool ePrgEnabled = false;
    bool cPassword = false;
    String ePassword;
    bool ePasswordEnabled = false;
    bool cFileSize = true;
    bool cFileDate = true;
    bool cClosePrg = true;
    bool cPanBox = false;
    bool cShutDown = false;
    // Items of the "Select" drop-down: the captions of the program windows.
    std::vector<String> PopupMenuPrg{"None"};

    void LoadFromIni();
    void SaveToIni();
    void cCloseAppClick();
    // The drop-down of "Select" opens: one item per program window, in enumeration order.
    void PopupMenuPrgPopup();
    // An item of that menu is chosen.
    void onPageClick(const String& caption) { ePrg = caption; }
    // Typing into the password box keeps at most 16 characters.
    void TypePassword(const String& text) { ePassword = text.substr(0, kPasswordMaxLength); }

    // Shows the dialog modally; "Ok" (IDOK) writes the file. Gives the modal result.
    int ShowModal();
    TApplication* HostApplication() const { return application_; }

private:
    TApplication* application_;
};

}  // namespace qel
