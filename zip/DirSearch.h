// The directory walker of the zip engine and its file helpers.
//
// TDirSearch walks a folder depth first, handing out the files whose names match a
// wildcard pattern; subfolders are listed completely where they are met. It works through
// the layer's current folder (changed while a step runs and restored before it returns,
// also when an error passes). There is no fixed depth limit, and a folder that is already
// being walked further up (a symbolic link back to an ancestor) is not entered again, so a
// walk always ends.
#pragma once

#include <memory>
#include <vector>

#include "platform/Files.h"

class TSearchData {
public:
    TSearchData(const String& dir, const String& pattern);
    ~TSearchData();
    TSearchData(const TSearchData&) = delete;
    TSearchData& operator=(const TSearchData&) = delete;
    void Next();

    String Directory;  // always ends with "\"
    String Pattern;
    Integer LastResult = 0;
    TSearchRec SearchRec;
    bool NoHandle = false;
    std::string Identity;  // the folder as the file system knows it, for loop detection
};

class TDirSearch {
public:
    TDirSearch(const String& startDir, const String& pattern, bool recurse);
    ~TDirSearch();
    TDirSearch(const TDirSearch&) = delete;
    TDirSearch& operator=(const TDirSearch&) = delete;

    // The next matching file and its full name; an empty name when the walk is over.
    void NextFile(TSearchRec& entry, String& fullName);

    static bool IsSubDir(const TSearchRec& entry);
    static bool IsDir(const TSearchRec& entry);

private:
    bool EnteredAlready(const std::string& identity) const;

    std::vector<std::unique_ptr<TSearchData>> levels_;
    String pattern_;
    bool recurse_;
};

// File helpers of the engine.
TDateTime GetFileDateTime(const String& fileName);  // 0 when the file cannot be read
void LibForceDirectories(const String& dir);         // raises EInOutError on failure
bool LibFileExists(const String& name);
bool LibDirExists(const String& name);
String LibGetDir(Byte drive);
void LibChDir(const String& dir);  // raises EInOutError
// Copies in blocks of 2048 bytes; every read or write error raises EInOutError.
void LibCopyFile(const String& source, const String& target);
bool SetVolumeLabelName(const String& driveRoot, const String& label);
String GetVolumeLabelName(const String& driveRoot);  // empty when the volume cannot be read
