#include "platform/IniFiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"

namespace {

constexpr std::size_t kValueBufferSize = 2048;  // the profile functions' buffer: 2047 characters

bool Same(const String& a, const String& b) { return SameText(a, b); }

// The file as lines, with the positions of sections and keys found on demand.
struct IniText {
    std::vector<String> lines;
    String lineBreak = "\r\n";
    bool existed = false;

    static bool IsSection(const String& line, String& name) {
        String t = Trim(line);
        if (t.size() < 2 || t[0] != '[') return false;
        std::size_t close = t.find(']');
        name = Trim(t.substr(1, close == String::npos ? String::npos : close - 1));
        return true;
    }
    static bool IsKey(const String& line, String& key, String& value) {
        String t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '[') return false;
        std::size_t eq = t.find('=');
        key = Trim(t.substr(0, eq));
        value = eq == String::npos ? String() : Trim(t.substr(eq + 1));
        return !key.empty();
    }
    // [begin, end) of the section's body (lines after its header); false when absent.
    bool FindSection(const String& section, std::size_t& header, std::size_t& end) const {
        String name;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (IsSection(lines[i], name) && Same(name, Trim(section))) {
                header = i;
                end = i + 1;
                while (end < lines.size() && !IsSection(lines[end], name)) ++end;
                return true;
            }
        }
        return false;
    }
    std::ptrdiff_t FindKey(std::size_t begin, std::size_t end, const String& ident) const {
        String key, value;
        for (std::size_t i = begin; i < end; ++i)
            if (IsKey(lines[i], key, value) && Same(key, Trim(ident))) return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
};

// Reads the file into ini. A file that is not there reads as empty; one that is there but
// cannot be opened or read to its end gives false, so that a write never replaces it with only
// the part it saw.
bool Load(const String& fileName, IniText& ini) {
    ini = IniText();
    THandle h = FileOpen(fileName, fmOpenRead | fmShareDenyWrite);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_DRIVE;
    }
    String bytes;
    char buffer[65536];
    Integer n;
    while ((n = FileRead(h, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<std::size_t>(n));
    FileClose(h);
    if (n < 0) return false;
    ini.existed = true;
    if (!bytes.empty() && bytes.find("\r\n") == String::npos) ini.lineBreak = "\n";
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t j = bytes.find('\n', i);
        if (j == String::npos) j = bytes.size();
        String line = bytes.substr(i, j - i);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ini.lines.push_back(line);
        i = j + 1;
    }
    return true;
}

// Reads keep the system's way: a file that cannot be read gives the defaults.
IniText LoadForReading(const String& fileName) {
    IniText ini;
    if (!Load(fileName, ini)) ini = IniText();
    return ini;
}

// Writes start from the whole file or not at all.
IniText LoadForWriting(const String& fileName) {
    IniText ini;
    if (!Load(fileName, ini)) throw EIniFileException("Unable to write to " + fileName);
    return ini;
}

void Save(const String& fileName, const IniText& ini) {
    try {
        platform::AtomicFile file(fileName);
        String text;
        for (const String& line : ini.lines) text += line + ini.lineBreak;
        file.Write(text);
        file.Commit();
    } catch (const Exception&) {
        throw EIniFileException("Unable to write to " + fileName);
    }
}

String Unquote(const String& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

bool ParseInteger(String text, Integer& out) {
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = "$" + text.substr(2);
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i >= text.size()) return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        int digit;
        char c = text[i];
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        value = value * base + digit;
        if (value > (base == 16 ? 0xFFFFFFFFLL : 2147483648LL)) return false;
    }
    if (base == 16) value = static_cast<Integer>(static_cast<std::uint32_t>(value));
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return false;
    out = static_cast<Integer>(value);
    return true;
}

}  // namespace

TIniFile::TIniFile(const String& fileName) : fileName_(fileName) {}
TIniFile::~TIniFile() = default;

String TIniFile::ReadString(const String& section, const String& ident, const String& defaultValue) {
    IniText ini = LoadForReading(fileName_);
    std::size_t header, end;
    String result = defaultValue;
    if (ini.FindSection(section, header, end)) {
        std::ptrdiff_t k = ini.FindKey(header + 1, end, ident);
        if (k >= 0) {
            String key, value;
            IniText::IsKey(ini.lines[static_cast<std::size_t>(k)], key, value);
            result = Unquote(value);
        }
    }
    if (result.size() > kValueBufferSize - 1) result.resize(kValueBufferSize - 1);
    return result;
}

void TIniFile::WriteString(const String& section, const String& ident, const String& value) {
    IniText ini = LoadForWriting(fileName_);
    std::size_t header, end;
    String line = Trim(ident) + "=" + value;
    if (!ini.FindSection(section, header, end)) {
        ini.lines.push_back("[" + Trim(section) + "]");
        ini.lines.push_back(line);
    } else if (std::ptrdiff_t k = ini.FindKey(header + 1, end, ident); k >= 0) {
        // The key keeps the spelling it has in the file.
        String key, old;
        IniText::IsKey(ini.lines[static_cast<std::size_t>(k)], key, old);
        ini.lines[static_cast<std::size_t>(k)] = key + "=" + value;
    } else {
        // A new key follows the last line of its section that is not blank.
        std::size_t at = end;
        while (at > header + 1 && Trim(ini.lines[at - 1]).empty()) --at;
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    }
    Save(fileName_, ini);
}

Integer TIniFile::ReadInteger(const String& section, const String& ident, Integer defaultValue) {
    Integer value;
    return ParseInteger(ReadString(section, ident, ""), value) ? value : defaultValue;
}

void TIniFile::WriteInteger(const String& section, const String& ident, Integer value) {
    WriteString(section, ident, std::to_string(value));
}

bool TIniFile::ReadBool(const String& section, const String& ident, bool defaultValue) {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const String& section, const String& ident, bool value) {
    WriteString(section, ident, value ? "1" : "0");
}

bool TIniFile::SectionExists(const String& section) {
    std::vector<String> keys;
    ReadSection(section, keys);
    return !keys.empty();
}

bool TIniFile::ValueExists(const String& section, const String& ident) {
    std::vector<String> keys;
    ReadSection(section, keys);
    for (const String& k : keys)
        if (Same(k, Trim(ident))) return true;
    return false;
}

void TIniFile::ReadSection(const String& section, std::vector<String>& keys) {
    keys.clear();
    IniText ini = LoadForReading(fileName_);
    std::size_t header, end;
    if (!ini.FindSection(section, header, end)) return;
    String key, value;
    for (std::size_t i = header + 1; i < end; ++i)
        if (IniText::IsKey(ini.lines[i], key, value)) keys.push_back(key);
}

void TIniFile::ReadSections(std::vector<String>& sections) {
    sections.clear();
    IniText ini = LoadForReading(fileName_);
    String name;
    for (const String& line : ini.lines)
        if (IniText::IsSection(line, name)) sections.push_back(name);
}

void TIniFile::ReadSectionValues(const String& section, std::vector<String>& lines) {
    std::vector<String> keys;
    ReadSection(section, keys);
    lines.clear();
    for (const String& k : keys) lines.push_back(k + "=" + ReadString(section, k, ""));
}

void TIniFile::EraseSection(const String& section) {
    IniText ini = LoadForWriting(fileName_);
    std::size_t header, end;
    if (!ini.FindSection(section, header, end)) return;
    ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(header),
                    ini.lines.begin() + static_cast<std::ptrdiff_t>(end));
    Save(fileName_, ini);
}

void TIniFile::DeleteKey(const String& section, const String& ident) {
    IniText ini = LoadForWriting(fileName_);
    std::size_t header, end;
    if (!ini.FindSection(section, header, end)) return;
    std::ptrdiff_t k = ini.FindKey(header + 1, end, ident);
    if (k < 0) return;
    ini.lines.erase(ini.lines.begin() + k);
    Save(fileName_, ini);
}

void TIniFile::UpdateFile() {}

namespace {
void Fill(TStrings& list, const std::vector<String>& items) {
    list.BeginUpdate();
    list.Clear();
    for (const String& s : items) list.Add(s);
    list.EndUpdate();
}
}  // namespace

void TIniFile::ReadSection(const String& section, TStrings& keys) {
    std::vector<String> items;
    ReadSection(section, items);
    Fill(keys, items);
}

void TIniFile::ReadSections(TStrings& sections) {
    std::vector<String> items;
    ReadSections(items);
    Fill(sections, items);
}

void TIniFile::ReadSectionValues(const String& section, TStrings& lines) {
    std::vector<String> items;
    ReadSectionValues(section, items);
    Fill(lines, items);
}
