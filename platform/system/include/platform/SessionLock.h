// A named lock shared by every process of the desktop session (the session folder holds it).
// A process that dies while holding it releases it, so a killed holder never blocks a later one.
#pragma once

#include <memory>

#include "platform/Types.h"

namespace platform {

namespace detail {
class FileLock;
}

class SessionLock {
public:
    // Waits at most timeoutMillis for the lock called name (a plain file name, no folders).
    // Never raises: when the lock cannot be had in time, or the session folder cannot be made,
    // Held() is false and the caller decides whether to carry on without it.
    SessionLock(const String& name, unsigned timeoutMillis);
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    bool Held() const;
    // Gives the lock up early; a second call does nothing.
    void Release();

private:
    std::unique_ptr<detail::FileLock> lock_;
};

}  // namespace platform
