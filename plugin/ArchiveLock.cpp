#include <set>

#include "platform/Paths.h"
#include "platform/SysUtils.h"
#include "plugin/BackupArchive.h"

namespace qel {
namespace {

// The GUI thread is the only thread of the plug-in, so a plain set is enough.
std::set<String>& HeldArchives() {
    static std::set<String> held;
    return held;
}

}  // namespace

TArchiveLock::TArchiveLock(const String& archivePath) : key_(UpperCase(ExpandFileName(archivePath))) {
    held_ = HeldArchives().insert(key_).second;
}

TArchiveLock::~TArchiveLock() {
    if (held_) HeldArchives().erase(key_);
}

}  // namespace qel
