// Top-level windows across processes: the session folder, window records and sockets.
//
// Every process of the session that has a top-level window publishes one record per such
// window in <session>/windows/ (handle, pid, class, caption, styles, owner) and listens on
// <session>/p<pid>.sock. Another process enumerates the records, reads class and caption from
// them, and talks to the owner through its socket: a send writes a request and waits for the
// reply (serving the requests that arrive meanwhile, so two processes sending to each other
// do not lock up), a post only writes. One connection per pair of processes keeps the
// messages of one sender in order. Records of processes that are gone are skipped and removed.
// Sockets are served from the owner's message loop, so only a process that runs its loop
// answers; a send gives up after the configured timeout with "no answer".
#pragma once

#include <poll.h>

#include <memory>
#include <vector>

#include "platform/Windows.h"

namespace platform::detail {

struct WindowRecord {
    HWND handle = nullptr;
    DWORD pid = 0;
    String className;
    String caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND owner = nullptr;
};

String ProfileFolder();
String SessionFolderPath();

class CrossProcess {
public:
    static CrossProcess& Get();

    // Publishing this process's top-level windows.
    void Publish(const WindowRecord& record);
    void Unpublish(HWND hwnd);

    // Records of other processes' windows (live processes only; stale ones are removed).
    std::vector<WindowRecord> ForeignWindows();
    bool ReadRecord(HWND hwnd, WindowRecord* record);

    LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // The loop's side: descriptors to wait on, and serving what is ready without blocking.
    void AppendPollFds(std::vector<pollfd>& fds);
    void ServeReady();

    std::uint32_t sendTimeoutMillis = 0;  // 0: the environment's value or 5000

    struct Impl;

private:
    CrossProcess();
    std::unique_ptr<Impl> impl_;
};

// The termination signals' self-pipe: the read end to poll, and whether a signal came.
int TerminationSignalFd();
bool TakeTerminationSignal();

}  // namespace platform::detail
