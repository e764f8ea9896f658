#include "plugin/FormProperties.h"

#include "platform/Dialogs.h"
#include "plugin/ProgramWatch.h"

namespace qel {

void TFormProperties::LoadFromIni() {
    TQelSettings s = LoadQelSettings(lFile);
    eFile = s.ZipFile;
    cCloseApp = s.CloseApp;
    ePrg = s.AppPrg;
    // A longer password written by other means is kept as it stands; only typing is limited.
    ePassword = s.Pass;
    eQelFile = s.QelFile;
    cPassword = s.Password;
    cFileSize = s.FileSize;
    cFileDate = s.FileDate;
    cClosePrg = s.ClosePrg;
    cPanBox = s.PanBox;
    cShutDown = s.ShutDown;
    cCloseAppClick();
}

void TFormProperties::SaveToIni() {
    TQelSettings s;
    s.ZipFile = eFile;
    s.CloseApp = cCloseApp;
    s.AppPrg = ePrg;
    s.Pass = ePassword;
    s.QelFile = eQelFile;
    s.Password = cPassword;
    s.FileSize = cFileSize;
    s.FileDate = cFileDate;
    s.ClosePrg = cClosePrg;
    s.PanBox = cPanBox;
    s.ShutDown = cShutDown;
    SaveQelSettings(lFile, s);
}

void TFormProperties::cCloseAppClick() {
    ePrgEnabled = cCloseApp;
    ePasswordEnabled = cPassword;
}

void TFormProperties::PopupMenuPrgPopup() {
    PopupMenuPrg.clear();
    for (const auto& w : ListProgramWindows()) PopupMenuPrg.push_back(w.Caption);
}

int TFormProperties::ShowModal() {
    platform::DialogRequest request;
    request.kind = platform::DialogKind::ModalForm;
    request.caption = kCaption;
    request.className = "TFormProperties";
    request.form = this;
    int result = platform::ShowDialog(request);
    if (result == IDOK) SaveToIni();
    return result;
}

}  // namespace qel
