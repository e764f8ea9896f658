#include "platform/CommonDialogs.h"

#include "platform/FileDialogForm.h"

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), files_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute() {
    if (OnShow && !Destroying()) OnShow(this);
    platform::DialogRequest request;
    request.kind = Kind();
    request.caption = title_;
    request.text = filter_;
    request.className = ClassName();
    request.value = fileName_;
    platform::FileDialogSetup setup;
    setup.mode = Kind() == platform::DialogKind::SaveDialog ? platform::FileDialogMode::Save
                                                            : platform::FileDialogMode::Open;
    setup.options = options_;
    setup.filterIndex = filterIndex_;
    setup.initialDir = initialDir_;
    setup.defaultExt = defaultExt_;
    bool ok = platform::ShowFileDialog(request, setup) == IDOK;
    if (ok) {
        fileName_ = request.value;
        filterIndex_ = setup.filterIndex;
        options_ = setup.readOnlyChecked ? options_ | ofReadOnly : options_ & ~ofReadOnly;
        files_->Clear();
        files_->Add(fileName_);
    }
    if (OnClose && !Destroying()) OnClose(this);
    return ok;
}

namespace platform {

Integer MessageDlgWithTitle(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, Integer HelpCtx,
                            const String& AppTitle) {
    (void)HelpCtx;
    static const char* const kCaptions[] = {"Warning", "Error", "Information", "Confirm"};
    static const UINT kIcons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION};
    DialogRequest request;
    request.kind = DialogKind::MessageBox;
    request.caption = DlgType == mtCustom ? AppTitle : kCaptions[DlgType];
    request.text = Msg;
    request.className = "TMessageForm";
    TMsgDlgButtons b = Buttons & ~mbHelp;
    UINT type = MB_OK;
    if ((b & mbYesNoCancel) == mbYesNoCancel)
        type = MB_YESNOCANCEL;
    else if ((b & (mbYes | mbNo)) == (mbYes | mbNo))
        type = MB_YESNO;
    else if ((b & mbAbortRetryIgnore) == mbAbortRetryIgnore)
        type = MB_ABORTRETRYIGNORE;
    else if ((b & (mbRetry | mbCancel)) == (mbRetry | mbCancel))
        type = MB_RETRYCANCEL;
    else if ((b & mbOKCancel) == mbOKCancel)
        type = MB_OKCANCEL;
    request.buttons = type | (DlgType == mtCustom ? 0 : kIcons[DlgType]);
    return ShowDialog(request);
}

void ShowMessageWithTitle(const String& Msg, const String& AppTitle) {
    DialogRequest request;
    request.kind = DialogKind::MessageBox;
    request.caption = AppTitle;
    request.text = Msg;
    request.className = "TMessageForm";
    request.buttons = MB_OK;
    ShowDialog(request);
}

bool InputQueryText(const String& ACaption, const String& APrompt, String& Value) {
    DialogRequest request;
    request.kind = DialogKind::InputBox;
    request.caption = ACaption;
    request.text = APrompt;
    request.className = "TInputQuery";
    request.buttons = MB_OKCANCEL;
    request.value = Value;
    if (ShowDialog(request) != IDOK) return false;
    Value = request.value;
    return true;
}

String InputBoxText(const String& ACaption, const String& APrompt, const String& ADefault) {
    String value = ADefault;
    return InputQueryText(ACaption, APrompt, value) ? value : ADefault;
}

}  // namespace platform
