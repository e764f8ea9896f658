// The page's archive on the zip engine's writing component.
#pragma once

#include <memory>

#include "plugin/BackupArchive.h"

namespace qel {

std::unique_ptr<TBackupArchive> MakeZipArchive();

}  // namespace qel
