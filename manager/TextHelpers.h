// Small text helpers of the manager: new backup identifiers and the quoted-token splitter over
// a string list.
#pragma once

#include "platform/FormatSettings.h"
#include "platform/StringList.h"

namespace manager {

// "{", the date and time as a decimal number (general format, up to 15 significant digits,
// under the module's decimal separator) with every "." removed, "}". A comma separator stays,
// as the settings files of such machines are already named. "Temp" when rendering fails.
String NewBackupID();
String NewBackupID(TDateTime when, const TFormatSettings& settings);

// Fills List with the tokens of Text (see SplitParams.h), inside one update bracket.
void SplitParams(TStrings& List, const String& Text, char Separator);

}  // namespace manager
