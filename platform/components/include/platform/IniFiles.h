// TIniFile: settings files in the Windows INI layout, read and written the way the system's
// profile functions do it.
//
// Every read looks at the file as it is now and every write changes the file at once, so a
// second reader (another page, another process) sees each key as soon as it is written.
// Each write replaces the file atomically (platform::AtomicFile); a file that cannot be
// written raises EIniFileException "Unable to write to <file>" and leaves it as it was. So
// does a write to a file that is there but cannot be read whole (no read access, a read
// error): it is never replaced by the few keys the write knows. Reads of such a file give
// their defaults.
// Section and key names compare without regard to case and keep the case they were written
// with. Values are trimmed, one pair of enclosing quotes is removed, and a value is read into
// a buffer of 2048 bytes, so at most 2047 characters come back. Lines starting with ";" are
// comments. The file keeps its line breaks (CRLF for a new file).
#pragma once

#include <vector>

#include "platform/Types.h"

class TStrings;

class TIniFile {
public:
    explicit TIniFile(const String& fileName);
    virtual ~TIniFile();
    const String& FileName() const { return fileName_; }

    String ReadString(const String& section, const String& ident, const String& defaultValue);
    void WriteString(const String& section, const String& ident, const String& value);
    // Decimal, or hexadecimal with "$" or "0x"; anything else gives the default.
    Integer ReadInteger(const String& section, const String& ident, Integer defaultValue);
    void WriteInteger(const String& section, const String& ident, Integer value);
    // Any integer other than 0 is true; written as "1" and "0".
    bool ReadBool(const String& section, const String& ident, bool defaultValue);
    void WriteBool(const String& section, const String& ident, bool value);

    // A section with no keys does not exist for SectionExists, as in the class library.
    bool SectionExists(const String& section);
    bool ValueExists(const String& section, const String& ident);
    void ReadSection(const String& section, std::vector<String>& keys);
    void ReadSections(std::vector<String>& sections);
    // "key=value" lines.
    void ReadSectionValues(const String& section, std::vector<String>& lines);
    // The class library's forms: the list is cleared and filled.
    void ReadSection(const String& section, TStrings& keys);
    void ReadSections(TStrings& sections);
    void ReadSectionValues(const String& section, TStrings& lines);
    void EraseSection(const String& section);
    void DeleteKey(const String& section, const String& ident);
    // Writes are never held back; kept for callers that flush.
    void UpdateFile();

private:
    String fileName_;
};
