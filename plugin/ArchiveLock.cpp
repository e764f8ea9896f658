#include "plugin/BackupArchive.h"

namespace qel {

TArchiveLock::TArchiveLock(const String& archivePath)
    : lock_(std::make_unique<platform::ArchiveLock>(archivePath, platform::ArchiveLock::Use::Operation)) {}

TArchiveLock::~TArchiveLock() = default;

bool TArchiveLock::Held() const { return lock_->Held(); }

}  // namespace qel
