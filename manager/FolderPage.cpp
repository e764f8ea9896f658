#include "manager/FolderPage.h"

#include <array>

#include "platform/AtomicFile.h"
#include "platform/DateTime.h"
#include "platform/FileStream.h"
#include "platform/Files.h"

namespace manager {

String HtmlEscape(const String& value) {
    String out;
    out.reserve(value.size());
    for (char ch : value) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += ch;
        }
    }
    return out;
}

String FillFolderTemplate(const String& templateText, const String& name, const String& description,
                          TDateTime created, const TFormatSettings& settings) {
    struct Tag {
        const char* text;
        String value;
    };
    // No tag is a prefix of another, so at any position at most one matches.
    const std::array<Tag, 3> tags = {{{"dfName", HtmlEscape(name)},
                                      {"dfDescription", HtmlEscape(description)},
                                      {"dfTD", HtmlEscape(DateTimeToStr(created, settings))}}};
    String out;
    out.reserve(templateText.size());
    std::size_t i = 0;
    while (i < templateText.size()) {
        bool replaced = false;
        for (const Tag& tag : tags) {
            if (templateText.compare(i, std::char_traits<char>::length(tag.text), tag.text) == 0) {
                out += tag.value;
                i += std::char_traits<char>::length(tag.text);
                replaced = true;
                break;
            }
        }
        if (!replaced) out += templateText[i++];
    }
    return out;
}

String BuildFolderPageFile(const String& templateFile, const String& tempFolder, const String& name,
                           const String& description, TDateTime created, const TFormatSettings& settings) {
    String text;
    {
        TFileStream in(templateFile, fmOpenRead | fmShareDenyWrite);
        text.resize(static_cast<std::size_t>(in.Size()));
        if (!text.empty()) in.ReadBuffer(text.data(), static_cast<Int64>(text.size()));
    }
    String page = tempFolder + kFolderPageName;
    platform::AtomicFile out(page);
    out.Write(FillFolderTemplate(text, name, description, created, settings));
    out.Commit();
    return page;
}

}  // namespace manager
