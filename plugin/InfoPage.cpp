#include "plugin/InfoPage.h"

#include <array>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "plugin/BackupRules.h"

namespace qel {

String HtmlEscape(const String& text) {
    String out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

String ReplaceTag(const String& text, const String& tag, const String& value) {
    if (tag.empty()) return text;
    String out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(tag, from)) != String::npos; from = at + tag.size()) {
        out.append(text, from, at - from);
        out += value;
    }
    out.append(text, from, String::npos);
    return out;
}

String FillInfoTemplate(const String& templateText, const std::optional<TInfoRow>& row, const TInfoArchive& archive) {
    String text = templateText;
    auto put = [&text](const char* tag, const String& value) { text = ReplaceTag(text, tag, HtmlEscape(value)); };
    if (row) {
        // The backup's own date is the stored path up to its first "\"; what follows it is
        // where the watched file lived.
        auto cut = row->FullName.find('\\');
        String backupDate = cut == String::npos ? String() : row->FullName.substr(0, cut);
        String from = cut == String::npos ? row->FullName : row->FullName.substr(cut + 1);
        put("dtName", row->Name);
        put("dtComment", row->Comment);
        // The short comment tag gets the entry's comment too: left as it stands, the page
        // would show the bare tag.
        put("dtComm", row->Comment);
        put("dtDate", row->DateText);
        put("dtSize", row->SizeText);
        put("dtStDir", row->FullName);
        put("dtBDate", backupDate);
        put("dtFrom", from);
    } else {
        // "dtComment" goes before "dtComm" so the shorter tag does not cut the longer one.
        for (const char* tag : {"dtName", "dtComment", "dtDate", "dtSize", "dtComm", "dtStDir", "dtBDate", "dtFrom"})
            put(tag, "?");
    }
    put("dtZipName", NamePart(archive.ZipName));
    put("dtZipNName", archive.ZipName);
    put("dtZipPath", FolderPart(archive.ZipName));
    put("dtZipComment", archive.ZipComment);
    put("dtZipSize", std::to_string(archive.ZipSize));
    return text;
}

namespace {

String ReadWholeFile(const String& path) {
    TFileStream in(path, fmOpenRead | fmShareDenyWrite);
    String text(static_cast<std::size_t>(in.Size()), '\0');
    if (!text.empty()) in.ReadBuffer(text.data(), static_cast<Integer>(text.size()));
    return text;
}

String TempFolder() {
    std::array<char, 261> buffer{};
    DWORD n = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    String folder(buffer.data(), n < buffer.size() ? n : 0);
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

}  // namespace

String BuildInfoPage(const String& templatePath, const std::optional<TInfoRow>& row, const TInfoArchive& archive) {
    String text = FillInfoTemplate(ReadWholeFile(templatePath), row, archive);
    String page = TempFolder() + "DefaultInfo.html";
    platform::AtomicFile out(page);
    out.Write(text);
    out.Commit();
    return page;
}

}  // namespace qel
