// The dialog hook: how modal forms, message boxes, input boxes and file dialogs get answered.
//
// Headless, nothing waits for a user. Every box and modal dialog is handed to one hook that a
// test installs to fill controls and press buttons; without a hook, forms and dialogs answer
// Cancel and questions answer No. Every request is recorded (kind, caption, text, buttons,
// answer) so tests can check what the user would have seen. Shell launches and requests to
// end the session are recorded too and never carried out.
#pragma once

#include <functional>
#include <vector>

#include "platform/Windows.h"

namespace platform {

enum class DialogKind { MessageBox, ModalForm, InputBox, OpenDialog, SaveDialog, Other };

struct DialogRequest {
    DialogKind kind = DialogKind::MessageBox;
    String caption;
    String text;
    UINT buttons = MB_OK;    // MB_ button and icon flags of a box
    String className;        // class of a modal form or dialog ("TFormBackupProp", "TOpenDialog")
    void* form = nullptr;    // the form object shown modally; the hook may fill its controls
    String value;            // input text or file name, in and out
};

// Answers the request; 0 means "no opinion" and gives the default answer. Answers are the
// ID* values (IDOK, IDCANCEL, IDYES, IDNO, ...), which equal the modal results mrOk, mrCancel...
using DialogHook = std::function<int(DialogRequest&)>;

void SetDialogHook(DialogHook hook);  // an empty hook removes it
bool HasDialogHook();

// What a request answers with no hook: Cancel for forms and dialogs, No for a question, the
// only button of a one-button box, Cancel or Abort for the other boxes.
int DefaultDialogAnswer(const DialogRequest& request);

// Records the request, asks the hook and gives the answer. The form layer calls this from
// ShowModal, MessageDlg, InputQuery and the file dialogs; MessageBoxA calls it too.
int ShowDialog(DialogRequest& request);
// Records a request that a person answered on a form of the layer (no hook was asked).
void RecordShownDialog(const DialogRequest& request, int answer);

struct ShownDialog {
    DialogKind kind = DialogKind::MessageBox;
    String caption;
    String text;
    UINT buttons = 0;
    String className;
    int answer = 0;
};
std::vector<ShownDialog> ShownDialogs();
void ClearShownDialogs();

struct ShellExecuteCall {
    String verb;
    String file;
    String parameters;
    String directory;
    int show = 0;
};
std::vector<ShellExecuteCall> ShellExecuteCalls();
void ClearShellExecuteCalls();

// Flags of every ExitWindowsEx call, in order.
std::vector<UINT> ExitWindowsCalls();
void ClearExitWindowsCalls();

// Icons in the notification area, in the order added.
struct NotifyIcon {
    HWND hwnd = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    HICON icon = nullptr;
    String tip;
};
std::vector<NotifyIcon> NotifyIcons();
void ClearNotifyIcons();

}  // namespace platform
