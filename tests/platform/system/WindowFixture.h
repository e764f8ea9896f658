// Shared set-up of the window tests: a profile and session folder per case, a manual clock,
// no dialog hook, and a recorder window class whose procedure logs what it receives.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "platform/TestLoop.h"
#include "platform/Windows.h"

namespace window_test {

struct Received {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Everything the recorder windows receive, in order, and per-message answers and actions.
struct Recorder {
    std::vector<Received> log;
    std::map<UINT, LRESULT> answers;
    std::function<void(HWND, UINT, WPARAM, LPARAM)> onMessage;

    static Recorder& Get();
    std::vector<UINT> MessagesOf(HWND hwnd, const std::vector<UINT>& only = {}) const;
    int Count(HWND hwnd, UINT msg) const;
};

LRESULT RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline constexpr const char* kRecorderClass = "TestRecorder";

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND MakeTop(const char* caption = "top", DWORD style = WS_OVERLAPPEDWINDOW);
    HWND MakeChild(HWND parent, int id = 1, DWORD style = WS_CHILD | WS_VISIBLE);

    std::filesystem::path dir_;
    platform::ManualClock clock_;
    std::vector<HWND> made_;
};

}  // namespace window_test
