#include "manager/TextHelpers.h"

#include <algorithm>
#include <cmath>

#include "manager/SplitParams.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"

namespace manager {

String NewBackupID(TDateTime when, const TFormatSettings& settings) {
    try {
        // A moment that is no finite number has no digits to name a file by.
        if (!std::isfinite(when)) throw EConvertError("Invalid date and time");
        String digits = FloatToStr(when, settings);
        std::erase(digits, '.');
        return "{" + digits + "}";
    } catch (const Exception&) {
        return "Temp";
    }
}

String NewBackupID() { return NewBackupID(Now(), FormatSettings()); }

void SplitParams(TStrings& List, const String& Text, char Separator) {
    List.BeginUpdate();
    try {
        List.Clear();
        for (const String& token : SplitParamsTokens(Text, Separator)) List.Add(token);
    } catch (...) {
        List.EndUpdate();
        throw;
    }
    List.EndUpdate();
}

}  // namespace manager
