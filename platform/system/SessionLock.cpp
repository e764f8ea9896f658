#include "platform/SessionLock.h"

#include "detail/CrossProcess.h"
#include "platform/FileLock.h"

namespace platform::detail {
bool MakeFolders(const String& path);
}

namespace platform {

SessionLock::SessionLock(const String& name, unsigned timeoutMillis) {
    if (name.empty() || name.find('/') != String::npos || name == "." || name == "..") return;
    String folder = detail::SessionFolderPath();
    // The first start of a session comes before any window made the session folder.
    if (!detail::MakeFolders(folder)) return;
    auto lock = std::make_unique<detail::FileLock>(folder + "/" + name + ".lock", timeoutMillis);
    if (lock->Held()) lock_ = std::move(lock);
}

SessionLock::~SessionLock() = default;

bool SessionLock::Held() const { return lock_ != nullptr; }

void SessionLock::Release() { lock_.reset(); }

}  // namespace platform
