// The process-wide settings record and the application title, apart from the registry access
// so that what only reads the record (the history log) needs no registry.
#include "manager/Settings.h"

namespace manager {

TSettings Settings;
String ShortcutDescription;

namespace {
String& Title() {
    static String title = kDefaultApplicationTitle;
    return title;
}
}  // namespace

const String& ApplicationTitle() { return Title(); }

void SetApplicationTitle(const String& title) { Title() = title; }

String SettingsKeyPath() { return kSettingsKeyBase + ApplicationTitle(); }

}  // namespace manager
