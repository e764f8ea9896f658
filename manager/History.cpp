#include "manager/History.h"

#include <iostream>

#include "platform/DateTime.h"
#include "platform/SysErrors.h"
#include "platform/Files.h"

namespace manager {

bool HistoryWanted(Byte categories, const TSettings& settings) {
    return ((categories & hcAdd) && settings.Actions_rAdd) ||
           ((categories & hcCopy) && settings.Actions_rCopy) ||
           ((categories & hcChecking) && settings.Actions_rChecking) ||
           ((categories & hcBackup) && settings.Actions_rBackup);
}

String HistoryLine(TDateTime when, const String& message) {
    return DateTimeToStr(when) + "# " + message + "\r\n";
}

void THistoryLog::Add(const String& message, Byte categories) { Add(message, categories, Settings); }

void THistoryLog::Add(const String& message, Byte categories, const TSettings& settings) {
    if (!HistoryWanted(categories, settings)) return;
    String line;
    try {
        line = HistoryLine(Now(), message);
    } catch (const Exception& e) {
        return ReportFailure(e.Message());
    }
    // Opened for appending: the file only grows, and a line written by another running
    // instance at the same moment is never overwritten (a seek to the end and a write would
    // race with it).
    const THandle file = platform::FileOpenForAppend(fileName_);
    if (file == INVALID_HANDLE_VALUE) return ReportFailure(SysErrorMessage(GetLastError()));
    const bool written = FileWrite(file, line.data(), static_cast<LongWord>(line.size())) ==
                             static_cast<Integer>(line.size()) &&
                         FlushFileBuffers(file);
    const DWORD error = GetLastError();
    FileClose(file);
    if (!written) ReportFailure(SysErrorMessage(error));
}

void THistoryLog::ReportFailure(const String& reason) {
    if (failureReported_) return;
    failureReported_ = true;
    std::cerr << "History log " << fileName_ << " cannot be written: " << reason << std::endl;
}

}  // namespace manager
