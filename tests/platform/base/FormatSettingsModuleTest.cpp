#include <gtest/gtest.h>

#include <dlfcn.h>

#include "platform/DateTime.h"

namespace {

// The probe library, opened as the host opens a plug-in.
class ModuleProbe {
public:
    ModuleProbe() : handle_(dlopen(TARVIK_MODULE_PROBE, RTLD_NOW | RTLD_LOCAL)) {}
    ~ModuleProbe() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    bool Loaded() const { return handle_ != nullptr; }
    template <class F>
    F* Get(const char* name) const {
        return reinterpret_cast<F*>(dlsym(handle_, name));
    }

private:
    void* handle_;
};

}  // namespace

TEST(FormatSettingsModule, EachModuleKeepsItsOwnSettings) {
    ModuleProbe probe;
    ASSERT_TRUE(probe.Loaded()) << dlerror();
    auto* setSeparator = probe.Get<void(char)>("ProbeSetDateSeparator");
    auto* separator = probe.Get<char()>("ProbeDateSeparator");
    auto* toStr = probe.Get<void(double, char*, int)>("ProbeDateTimeToStr");
    ASSERT_TRUE(setSeparator && separator && toStr);

    const char ours = FormatSettings().DateSeparator;
    const TDateTime value = EncodeDate(2026, 12, 8) + EncodeTime(10, 30, 0, 0);
    // The plug-in switches its own separator; the program's stays.
    setSeparator('-');
    EXPECT_EQ(separator(), '-');
    EXPECT_EQ(FormatSettings().DateSeparator, ours);
    char buffer[64];
    toStr(value, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "08-12-2026 10:30:00");

    FormatSettings().DateSeparator = '.';
    EXPECT_EQ(separator(), '-');
    EXPECT_EQ(DateTimeToStr(value), "08.12.2026 10:30:00");
    FormatSettings().DateSeparator = ours;
}
