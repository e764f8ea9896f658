// The per-backup settings file: one INI section "GENREAL" (spelled so; files in the field carry
// that name) with eleven keys. The page reads it at creation and whenever the file's date or
// size changes; the settings dialog writes it. A missing file or key gives the default.
#pragma once

#include "platform/Types.h"

namespace qel {

inline constexpr const char* kSettingsSection = "GENREAL";

struct TQelSettings {
    String ZipFile = "C:\\Qel Backup\\New Qel.Zip";
    bool CloseApp = false;
    String AppPrg;
    String Pass;
    String QelFile;
    bool Password = false;
    bool FileSize = true;
    bool FileDate = true;
    bool ClosePrg = true;
    bool PanBox = false;
    bool ShutDown = false;

    bool operator==(const TQelSettings&) const = default;
};

// Reads the eleven keys; what is missing keeps its default.
TQelSettings LoadQelSettings(const String& settingsPath);
// Writes the eleven keys in their fixed order, each a separate write, so a new file lists
// them in that order. A file that cannot be written raises EIniFileException.
void SaveQelSettings(const String& settingsPath, const TQelSettings& settings);

}  // namespace qel
