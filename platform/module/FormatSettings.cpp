// This module's own format settings: compiled into every module with hidden visibility, so
// the plug-in's changes never reach the program's copy and the other way round.
#include "platform/FormatSettings.h"

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = DefaultFormatSettings();
    return settings;
}
