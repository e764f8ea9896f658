// What the open, save and folder dialogs list and decide, without any control.
//
// The dialog form (platform/FileDialogForm.h) shows a folder, lists it through the active
// filter and hands every name the person types or picks to Confirm, which says what to do:
// open a folder, take a typed pattern as the filter, ask before replacing, refuse a missing
// file or folder, or accept a full Windows-style path. Typed names may be relative to the
// shown folder, Windows paths ("C:\x", "\x" on the shown drive), POSIX paths ("/tmp/x") or
// "~/x" (the home folder); "/" and "\" both separate.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace platform {

enum class FileDialogMode { Open, Save, Folder };

// The class library's option bits that change what the dialog does (its ofXxx constants).
inline constexpr unsigned kFileDialogReadOnly = 0x0001;
inline constexpr unsigned kFileDialogOverwritePrompt = 0x0002;
inline constexpr unsigned kFileDialogHideReadOnly = 0x0004;
inline constexpr unsigned kFileDialogPathMustExist = 0x0100;
inline constexpr unsigned kFileDialogFileMustExist = 0x0200;

struct FileFilter {
    String description;
    std::vector<String> patterns;  // "*.zip", "*.*"
};

// "Zip Files (*.ZIP)|*.zip|All Files (*.*)|*.*" -> two filters; patterns split at ";".
// An empty filter gives one filter that shows every file.
std::vector<FileFilter> ParseFileFilter(const String& filter);

struct FileDialogEntry {
    String name;
    bool folder = false;
    bool hidden = false;
    Int64 size = 0;
    Integer time = 0;  // DOS date and time
};

class FileDialogModel {
public:
    FileDialogModel(FileDialogMode mode, unsigned options);

    FileDialogMode Mode() const { return mode_; }
    unsigned Options() const { return options_; }

    // The filter string and the 1-based index the caller asked for (out of range: the first).
    void SetFilter(const String& filter, Integer index);
    const std::vector<FileFilter>& Filters() const { return filters_; }
    Integer FilterIndex() const { return filterIndex_; }  // 1-based
    void SetFilterIndex(Integer index);
    // A pattern the person typed ("*.txt"); it stands until another filter is chosen.
    void SetTypedPattern(const String& pattern) { typedPattern_ = pattern; }
    void SetDefaultExt(const String& ext) { defaultExt_ = ext; }
    void SetShowHidden(bool show) { showHidden_ = show; }
    bool ShowHidden() const { return showHidden_; }

    // The starting folder and the name for the name box, from the caller's file name and
    // initial folder: the file name's folder when it exists, else the initial folder, else
    // the current folder. A file name that is a folder starts there with an empty name.
    // Returns the name part.
    String Start(const String& fileName, const String& initialDir);

    // The shown folder, with a trailing "\".
    const String& Folder() const { return folder_; }
    // Shows a folder (any form Resolve takes); false when it is not an existing folder.
    bool SetFolder(const String& path);
    // The parent folder; false at a drive's root.
    bool Up();

    // The shown folder's entries: folders first, then files the filter matches (folders only
    // in folder mode); dot names only with ShowHidden. Each group by name without regard to case.
    std::vector<FileDialogEntry> List() const;

    // A typed name as a full Windows path (folders without the trailing "\"); "" when it
    // cannot name a place.
    String Resolve(const String& typed) const;

    enum class Outcome { None, EnterFolder, ApplyPattern, Accept, AskOverwrite, AskCreateFolder, FileMissing,
                         PathMissing };
    struct Decision {
        Outcome outcome = Outcome::None;
        String path;     // the folder to open, the pattern, or the chosen path
        String message;  // what to tell or ask the person
    };
    // What the OK button does with the typed or picked name ("" in folder mode takes the shown folder).
    Decision Confirm(const String& typed) const;

private:
    FileDialogMode mode_;
    unsigned options_;
    std::vector<FileFilter> filters_;
    Integer filterIndex_ = 1;
    String typedPattern_;
    String defaultExt_;
    bool showHidden_ = false;
    String folder_;
};

}  // namespace platform
