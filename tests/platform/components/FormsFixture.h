// Shared set-up of the component-layer tests: a profile per case, a manual clock, no dialog or
// popup hook, no recorded boxes or popups, and every form the case made freed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/MessageLoop.h"
#include "tests/common/TestProfile.h"

namespace forms_test {

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        profile_ = std::make_unique<tarvik::test::ScopedTestProfile>();
        platform::SetClock(&clock_);
        platform::SetDialogHook({});
        platform::ClearShownDialogs();
        platform::SetPopupHook({});
        platform::ClearShownPopups();
        platform::ResetQuitRequest();
        Application->OnHint = nullptr;
        Application->OnException = nullptr;
        Application->SetHint("");
        Application->SetTitle("Forms test");
        Screen->SetCursor(crDefault);
    }

    void TearDown() override {
        Application->DestroyComponents();
        Drain();
        platform::SetDialogHook({});
        platform::SetPopupHook({});
        platform::ResetQuitRequest();
        platform::SetClock(nullptr);
        profile_.reset();
    }

    // Runs what is pending, deferred frees included, as the outermost loop does.
    static void Drain() {
        Application->ProcessMessages();
        platform::ResetQuitRequest();
    }

    // A form owned by the application, with a window.
    static TForm* NewForm(const char* name = nullptr) {
        auto* form = new TForm(Application);
        if (name) form->SetName(name);
        form->SetBounds(0, 0, 400, 300);
        return form;
    }

    platform::ManualClock clock_;
    std::unique_ptr<tarvik::test::ScopedTestProfile> profile_;
};

}  // namespace forms_test
