// The history log: the plain-text file History.txt beside the program, one line per event.
//
// Each line is the date and time as text (the module's standard date-time text), "# " with no
// blank before it, the message and CR LF. A message carries category bits and is written only
// when the settings switch on at least one of its categories. The file only grows; it is opened,
// appended to, flushed and closed for every line.
//
// The log must never stop the program: a line that cannot be written is dropped, and only the
// first such failure of a log is told on stderr, so a folder that is not writable neither
// aborts a start nor floods the terminal.
#pragma once

#include "manager/Settings.h"
#include "platform/Types.h"

namespace manager {

// Category bits of a history message.
enum THistoryCategory : Byte {
    hcAdd = 1,       // Actions_rAdd: start, end, the exception hook's lines
    hcCopy = 2,      // Actions_rCopy
    hcChecking = 4,  // Actions_rChecking: the start-up check lines
    hcBackup = 8,    // Actions_rBackup
};

// True when at least one bit of categories has its setting switched on.
bool HistoryWanted(Byte categories, const TSettings& settings);

// One line of the file for a message written at moment `when`, CR LF included.
String HistoryLine(TDateTime when, const String& message);

class THistoryLog {
public:
    explicit THistoryLog(String fileName = String()) : fileName_(std::move(fileName)) {}

    const String& FileName() const { return fileName_; }
    void SetFileName(const String& fileName) { fileName_ = fileName; }

    // Appends one line stamped with the current time when the process-wide settings want one
    // of the categories. Never raises; see the header comment.
    void Add(const String& message, Byte categories);
    // The same, with the settings given.
    void Add(const String& message, Byte categories, const TSettings& settings);

    // True once a write has failed (the failure has then been told on stderr).
    bool FailureReported() const { return failureReported_; }

private:
    // Tells the first failure of this log on stderr.
    void ReportFailure(const String& reason);

    String fileName_;
    bool failureReported_ = false;
};

}  // namespace manager
