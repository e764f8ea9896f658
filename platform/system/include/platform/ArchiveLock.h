// "This archive is being rewritten": the one lock every writer of an archive takes, in every
// process, whatever its profile.
//
// The lock lives with the archive: an advisory lock (flock) on ".NAME.lock" beside it, made
// when the lock is taken and removed when it is let go (a taker re-checks that the file it
// locked is still the one of that name, so removing it never lets two holders in). A holder
// that dies loses the lock with its descriptor; the file it leaves is taken over by the next.
//
// Two uses nest on one thread: an operation (a plug-in's backup, restore or removal holds its
// archive for its whole run) may contain the rewrites it runs itself, but a rewrite never
// contains another rewrite, so a second rewrite started from inside the first (a nested
// message loop) is refused at once instead of waiting for itself. Holders on other threads and
// in other processes are waited for, at most the given time.
//
// Where no lock file can be made (a folder this user cannot write to) the lock still excludes
// the holders of this process; no rewrite can be made in such a folder anyway.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

class ArchiveLock {
public:
    enum class Use { Operation, Rewrite };
    enum class State {
        Held,           // this holder has the archive
        BusyHere,       // a holder on this thread has it (no wait)
        BusyElsewhere,  // another thread or process kept it beyond the wait
        Unshared,       // held in this process only: no lock file could be made
    };

    ArchiveLock(const String& archive, Use use, unsigned timeoutMillis = 0);
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    State GetState() const { return state_; }
    // True for Held and Unshared: nothing else in this process writes the archive.
    bool Held() const { return state_ == State::Held || state_ == State::Unshared; }
    // True only when every process sees this holder (no leftover can belong to a live writer
    // of this archive).
    bool Shared() const { return state_ == State::Held; }

    // True when some holder, in this process or another, has the archive now.
    static bool InUse(const String& archive);
    // The lock file beside the archive (".NAME.lock"), which code listing the folder skips.
    static String LockFileName(const String& archive);

private:
    std::string key_;
    State state_ = State::BusyElsewhere;
    bool nested_ = false;
};

// Removes a temporary file of AtomicFile whose writer is gone (killed before its commit).
// The temporary file of a live AtomicFile, in any process, is kept. True when removed.
bool RemoveAbandonedTempFile(const String& fileName);

}  // namespace platform
