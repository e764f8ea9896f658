// The information page: the template "Info.htm" with its "dt" tags replaced by what is known
// of the selected entry and of the archive, written to "DefaultInfo.html" in the private
// temporary folder. Every inserted value is HTML-escaped; replacing a tag never loops, also
// when a value holds the tag itself.
#pragma once

#include <optional>

#include "platform/Types.h"

namespace qel {

// The restore-list row an information page describes (the texts as the list shows them).
struct TInfoRow {
    String Name;      // entry file name
    String SizeText;  // size in bytes
    String DateText;  // entry date and time
    String FullName;  // stored folder and file name
    String Comment;   // entry comment
};

struct TInfoArchive {
    String ZipName;
    String ZipComment;
    LongWord ZipSize = 0;
};

String HtmlEscape(const String& text);
// Replaces every occurrence of tag present in text by value, once (inserted text is not
// searched again for the same tag).
String ReplaceTag(const String& text, const String& tag, const String& value);
// The page text for a selected row or for none.
String FillInfoTemplate(const String& templateText, const std::optional<TInfoRow>& row, const TInfoArchive& archive);
// Loads the template, fills it and writes the page; gives the page's path. A missing
// template raises EFOpenError "Cannot open file <name>".
String BuildInfoPage(const String& templatePath, const std::optional<TInfoRow>& row, const TInfoArchive& archive);

}  // namespace qel
