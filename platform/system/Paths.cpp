#include "platform/Paths.h"

namespace {

// Index of the last character of text that is one of delimiters, or npos.
std::size_t LastDelimiter(const String& delimiters, const String& text) {
    return text.find_last_of(delimiters);
}

}  // namespace

String ExtractFilePath(const String& fileName) {
    std::size_t i = LastDelimiter("\\:", fileName);
    return i == String::npos ? String() : fileName.substr(0, i + 1);
}

String ExtractFileDir(const String& fileName) {
    std::size_t i = LastDelimiter("\\:", fileName);
    if (i == String::npos) return String();
    // "C:\a\b" -> "C:\a", but "C:\b" -> "C:\" and "\\b" keeps its delimiter run.
    if (i > 0 && fileName[i] == '\\' && fileName[i - 1] != '\\' && fileName[i - 1] != ':') return fileName.substr(0, i);
    return fileName.substr(0, i + 1);
}

String ExtractFileName(const String& fileName) {
    std::size_t i = LastDelimiter("\\:", fileName);
    return i == String::npos ? fileName : fileName.substr(i + 1);
}

String ExtractFileExt(const String& fileName) {
    std::size_t i = LastDelimiter(".\\:", fileName);
    if (i != String::npos && fileName[i] == '.') return fileName.substr(i);
    return String();
}

String ExtractFileDrive(const String& fileName) {
    if (fileName.size() >= 2 && fileName[1] == ':') return fileName.substr(0, 2);
    if (fileName.size() >= 2 && fileName[0] == '\\' && fileName[1] == '\\') {
        // "\\server\share": up to the backslash after the share name.
        std::size_t server = fileName.find('\\', 2);
        if (server == String::npos) return fileName;
        std::size_t share = fileName.find('\\', server + 1);
        return share == String::npos ? fileName : fileName.substr(0, share);
    }
    return String();
}

String ChangeFileExt(const String& fileName, const String& extension) {
    std::size_t i = LastDelimiter(".\\:", fileName);
    if (i == String::npos || fileName[i] != '.') return fileName + extension;
    return fileName.substr(0, i) + extension;
}

String IncludeTrailingBackslash(const String& path) {
    if (!path.empty() && path.back() == '\\') return path;
    return path + "\\";
}

String ExcludeTrailingBackslash(const String& path) {
    if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

String IncludeTrailingPathDelimiter(const String& path) { return IncludeTrailingBackslash(path); }
String ExcludeTrailingPathDelimiter(const String& path) { return ExcludeTrailingBackslash(path); }
