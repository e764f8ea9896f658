// The open, save and folder dialogs as forms a person works by mouse and keyboard.
//
// ShowFileDialog is what the class library's dialogs and the zip components call. With a
// dialog hook installed, or with nobody at the display, it is the plain request of
// platform/Dialogs.h (answered by the hook, else Cancel), recorded as always. With a person at
// the display and no hook it shows TFileDialogForm and waits: a folder box with an "Up"
// button, the list of the folder (name, size, date), the name box, the filter combo and
// "Show hidden files". Return opens what has the focus (a folder, or the typed name), Escape
// cancels, Backspace in the list goes up. What is listed and what a typed name means is
// platform/FileDialogModel.h.
#pragma once

#include <functional>
#include <memory>

#include "platform/ComCtrls.h"
#include "platform/Dialogs.h"
#include "platform/FileDialogModel.h"
#include "platform/Forms.h"
#include "platform/MessageLoop.h"
#include "platform/StdCtrls.h"

namespace platform {

// What the caller of a file dialog sets beyond the request (title, filter, file name).
struct FileDialogSetup {
    FileDialogMode mode = FileDialogMode::Open;
    unsigned options = kFileDialogHideReadOnly;
    Integer filterIndex = 1;  // in and out
    String initialDir;
    String defaultExt;
    bool readOnlyChecked = false;  // out: "Open as read-only" (shown without HideReadOnly)
};

// Asks for a file or folder; request.value holds the file name (or folder) in and the
// Windows-style choice out. Returns IDOK or IDCANCEL.
int ShowFileDialog(DialogRequest& request, FileDialogSetup& setup);

class TFileDialogForm : public TCustomForm {
public:
    TFileDialogForm(const String& caption, FileDialogSetup& setup, const String& filter, const String& fileName);
    const char* ClassName() const noexcept override { return "TFileDialogForm"; }

    TEdit* ePath = nullptr;
    TButton* btnUp = nullptr;
    TListView* lvFiles = nullptr;
    TLabel* lblName = nullptr;
    TEdit* eName = nullptr;
    TLabel* lblType = nullptr;
    TComboBox* cbFilter = nullptr;
    TCheckBox* chkHidden = nullptr;
    TCheckBox* chkReadOnly = nullptr;
    TButton* btnOk = nullptr;
    TButton* btnCancel = nullptr;

    FileDialogModel& Model() { return model_; }
    // Lists the model's folder again.
    void Refill();
    // Shows the form and waits for OK or Cancel; the chosen path is in Result().
    int Run();
    const String& Result() const { return result_; }
    void WndProc(TMessage& Message) override;

private:
    void Build();
    void GoUp();
    void OpenPath(const String& path);
    void OkClick();
    void OpenEntry(TListItem* item);
    void TakeDecision(const FileDialogModel::Decision& d);
    void Finish(int answer);
    bool Ask(const String& message);
    void Tell(const String& message);
    TListItem* SelectedEntry() const;

    FileDialogSetup& setup_;
    FileDialogModel model_;
    std::vector<FileDialogEntry> entries_;
    String result_;
    int answer_ = 0;
    ModalLoop* loop_ = nullptr;
};

// Tests: while set, ShowFileDialog takes the person's path without a display (and without a
// hook) and calls driver once the form is on screen; the driver works the form through the
// input functions. An empty function ends this.
void SetFileDialogDriverForTests(std::function<void(TFileDialogForm&)> driver);

}  // namespace platform
