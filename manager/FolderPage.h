// The folder page: the template Templates\TemplateFolder.htm with its tags replaced by a
// folder's values, written to the temporary folder as "DefaultFolder.html".
//
// The tags "dfName", "dfDescription" and "dfTD" are matched with case, anywhere in the
// template, every occurrence. Values are HTML-escaped, and the replacement reads only the
// template: a value holding a tag's letters is shown as it is, so the replacement always ends.
#pragma once

#include "platform/FormatSettings.h"
#include "platform/Types.h"

namespace manager {

inline constexpr const char* kFolderPageName = "DefaultFolder.html";

// "&", "<", ">", double quote and apostrophe as entities; everything else, line breaks
// included, unchanged.
String HtmlEscape(const String& value);

// The template text with its tags replaced.
String FillFolderTemplate(const String& templateText, const String& name, const String& description,
                          TDateTime created, const TFormatSettings& settings);

// Reads templateFile, fills it and writes tempFolder + "DefaultFolder.html" through a new
// file and a rename; gives that path. Raises the layer's file errors (a missing template
// raises EFOpenError).
String BuildFolderPageFile(const String& templateFile, const String& tempFolder, const String& name,
                           const String& description, TDateTime created, const TFormatSettings& settings);

}  // namespace manager
