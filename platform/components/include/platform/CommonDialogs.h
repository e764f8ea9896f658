// The class library's dialogs: open and save dialogs, message dialogs, input boxes.
//
// Headless, each one is a request to the dialog hook of platform/Dialogs.h and is recorded
// there: open/save dialogs as OpenDialog/SaveDialog (caption = Title, text = Filter, value =
// FileName in and out), MessageDlg and ShowMessage as message boxes (buttons and icon as MB_
// flags), InputBox/InputQuery as InputBox (text = prompt, value = the text in and out).
// Without a hook dialogs answer Cancel and questions No. The forms that take the
// application's title are module-local forwarders.
#pragma once

#include <memory>

#include "platform/Components.h"
#include "platform/Dialogs.h"
#include "platform/FormatSettings.h"
#include "platform/StringList.h"

using TOpenOptions = unsigned;
inline constexpr TOpenOptions ofReadOnly = 0x0001;
inline constexpr TOpenOptions ofOverwritePrompt = 0x0002;
inline constexpr TOpenOptions ofHideReadOnly = 0x0004;
inline constexpr TOpenOptions ofNoChangeDir = 0x0008;
inline constexpr TOpenOptions ofShowHelp = 0x0010;
inline constexpr TOpenOptions ofNoValidate = 0x0020;
inline constexpr TOpenOptions ofAllowMultiSelect = 0x0040;
inline constexpr TOpenOptions ofExtensionDifferent = 0x0080;
inline constexpr TOpenOptions ofPathMustExist = 0x0100;
inline constexpr TOpenOptions ofFileMustExist = 0x0200;
inline constexpr TOpenOptions ofCreatePrompt = 0x0400;
inline constexpr TOpenOptions ofEnableSizing = 0x0800;

class TCommonDialog : public TComponent {
public:
    explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
    const char* ClassName() const noexcept override { return "TCommonDialog"; }
    virtual bool Execute() = 0;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
};

class TOpenDialog : public TCommonDialog {
public:
    explicit TOpenDialog(TComponent* AOwner);
    ~TOpenDialog() override;
    const char* ClassName() const noexcept override { return "TOpenDialog"; }
    const String& FileName() const { return fileName_; }
    void SetFileName(const String& Value) { fileName_ = Value; }
    const String& Filter() const { return filter_; }
    void SetFilter(const String& Value) { filter_ = Value; }
    Integer FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(Integer Value) { filterIndex_ = Value; }
    const String& Title() const { return title_; }
    void SetTitle(const String& Value) { title_ = Value; }
    const String& InitialDir() const { return initialDir_; }
    void SetInitialDir(const String& Value) { initialDir_ = Value; }
    const String& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const String& Value) { defaultExt_ = Value; }
    TOpenOptions Options() const { return options_; }
    void SetOptions(TOpenOptions Value) { options_ = Value; }
    // The chosen files (one line per file; FileName is the first).
    TStrings* Files() { return files_.get(); }
    // True when the user confirmed; FileName then holds the choice.
    bool Execute() override;

protected:
    virtual platform::DialogKind Kind() const { return platform::DialogKind::OpenDialog; }

private:
    String fileName_;
    String filter_;
    Integer filterIndex_ = 1;
    String title_;
    String initialDir_;
    String defaultExt_;
    TOpenOptions options_ = ofHideReadOnly | ofEnableSizing;
    std::unique_ptr<TStringList> files_;
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
    const char* ClassName() const noexcept override { return "TSaveDialog"; }

protected:
    platform::DialogKind Kind() const override { return platform::DialogKind::SaveDialog; }
};

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
using TMsgDlgButtons = unsigned;
inline constexpr TMsgDlgButtons mbYes = 0x001;
inline constexpr TMsgDlgButtons mbNo = 0x002;
inline constexpr TMsgDlgButtons mbOK = 0x004;
inline constexpr TMsgDlgButtons mbCancel = 0x008;
inline constexpr TMsgDlgButtons mbAbort = 0x010;
inline constexpr TMsgDlgButtons mbRetry = 0x020;
inline constexpr TMsgDlgButtons mbIgnore = 0x040;
inline constexpr TMsgDlgButtons mbAll = 0x080;
inline constexpr TMsgDlgButtons mbNoToAll = 0x100;
inline constexpr TMsgDlgButtons mbYesToAll = 0x200;
inline constexpr TMsgDlgButtons mbHelp = 0x400;
inline constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
inline constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
inline constexpr TMsgDlgButtons mbAbortRetryIgnore = mbAbort | mbRetry | mbIgnore;

namespace platform {
// The box behind MessageDlg: caption "Warning", "Error", "Information", "Confirm", or
// AppTitle for mtCustom. Returns the modal result (mrYes, mrNo, ...).
Integer MessageDlgWithTitle(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, Integer HelpCtx,
                            const String& AppTitle);
void ShowMessageWithTitle(const String& Msg, const String& AppTitle);
// What the user typed, or Default when the box was cancelled.
String InputBoxText(const String& ACaption, const String& APrompt, const String& ADefault);
bool InputQueryText(const String& ACaption, const String& APrompt, String& Value);
// The application title of the calling module (module-local).
TARVIK_MODULE_LOCAL String ModuleApplicationTitle();
}  // namespace platform

TARVIK_MODULE_LOCAL inline Integer MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                                              Integer HelpCtx) {
    return platform::MessageDlgWithTitle(Msg, DlgType, Buttons, HelpCtx, platform::ModuleApplicationTitle());
}
TARVIK_MODULE_LOCAL inline void ShowMessage(const String& Msg) {
    platform::ShowMessageWithTitle(Msg, platform::ModuleApplicationTitle());
}
inline String InputBox(const String& ACaption, const String& APrompt, const String& ADefault) {
    return platform::InputBoxText(ACaption, APrompt, ADefault);
}
inline bool InputQuery(const String& ACaption, const String& APrompt, String& Value) {
    return platform::InputQueryText(ACaption, APrompt, Value);
}
