#include "platform/ShellLink.h"

#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Drives.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "detail/PathMap.h"

namespace {

// The link format's own constants.
constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint32_t kHasLinkTargetIDList = 0x01, kHasLinkInfo = 0x02, kHasName = 0x04, kHasRelativePath = 0x08,
                        kHasWorkingDir = 0x10, kHasArguments = 0x20, kHasIconLocation = 0x40, kIsUnicode = 0x80;
constexpr std::uint32_t kVolumeIDAndLocalBasePath = 0x01;
constexpr std::uint32_t kLinkInfoHeaderSizeUnicode = 0x24;  // with the Unicode path offsets
constexpr std::uint64_t kFileTimeEpochOffset = 116444736000000000ULL;  // 1601 to 1970, in 100 ns
constexpr std::size_t kMaxLinkText = 32767;

thread_local int t_comInitialized = 0;

void Put16(std::string& b, std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
}
void Put32(std::string& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put64(std::string& b, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Set32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::u16string Utf16(const String& s) {
    std::u16string out;
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
            cp = 0xFFFD;
            ++i;
        } else {
            cp = extra == 0 ? c : c & (0x3F >> extra);
            bool ok = true;
            for (int k = 1; k <= extra; ++k) {
                unsigned char n = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
                if ((n & 0xC0) != 0x80) ok = false;
                cp = (cp << 6) | (n & 0x3F);
            }
            i += static_cast<std::size_t>(extra) + 1;
            if (!ok || cp > 0x10FFFF) cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

void AppendUtf8(String& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

String FromUtf16(const std::u16string& s) {
    String out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// The ANSI copies of paths in the link: characters outside ASCII become "?", as the
// system does for characters its code page lacks; readers take the Unicode copies.
std::string AnsiCopy(const String& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) out += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80) out += '?';
    }
    return out;
}

void PutUnicodeZ(std::string& b, const String& s) {
    for (char16_t c : Utf16(s)) Put16(b, c);
    Put16(b, 0);
}

void PutStringData(std::string& b, const String& s) {
    std::u16string w = Utf16(s);
    Put16(b, static_cast<std::uint16_t>(w.size()));
    for (char16_t c : w) Put16(b, c);
}

struct LinkData {
    String path, arguments, description, workingDir, iconPath;
    int iconIndex = 0;
    int showCmd = SW_SHOWNORMAL;
};

std::string Encode(const LinkData& d) {
    // What the target is, as the system records it: attributes, times, size and volume.
    std::uint32_t attributes = 0, size = 0;
    std::uint64_t writeTime = 0, accessTime = 0, changeTime = 0;
    struct stat st {};
    std::string posix = platform::ToPosixPath(d.path);
    if (!posix.empty() && ::stat(posix.c_str(), &st) == 0) {
        Integer a = FileGetAttr(d.path);
        attributes = a < 0 ? 0 : static_cast<std::uint32_t>(a);
        size = S_ISREG(st.st_mode) ? static_cast<std::uint32_t>(st.st_size) : 0;
        auto ft = [](const struct timespec& t) {
            return static_cast<std::uint64_t>(t.tv_sec) * 10000000ULL + static_cast<std::uint64_t>(t.tv_nsec) / 100 +
                   kFileTimeEpochOffset;
        };
        writeTime = ft(st.st_mtim);
        accessTime = ft(st.st_atim);
        changeTime = ft(st.st_ctim);
    }
    String root = ExtractFileDrive(d.path) + "\\";
    UINT driveType = GetDriveTypeA(root.c_str());
    char label[64] = {};
    DWORD serial = 0;
    GetVolumeInformationA(root.c_str(), label, sizeof label, &serial, nullptr, nullptr, nullptr, 0);

    std::uint32_t flags = kIsUnicode;
    if (!d.path.empty()) flags |= kHasLinkInfo;
    if (!d.description.empty()) flags |= kHasName;
    if (!d.workingDir.empty()) flags |= kHasWorkingDir;
    if (!d.arguments.empty()) flags |= kHasArguments;
    if (!d.iconPath.empty()) flags |= kHasIconLocation;

    std::string b;
    Put32(b, kHeaderSize);
    static const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    b.append(reinterpret_cast<const char*>(clsid), 16);
    Put32(b, flags);
    Put32(b, attributes);
    Put64(b, changeTime);
    Put64(b, accessTime);
    Put64(b, writeTime);
    Put32(b, size);
    Put32(b, static_cast<std::uint32_t>(d.iconIndex));
    Put32(b, static_cast<std::uint32_t>(d.showCmd));
    Put16(b, 0);  // hot key
    Put16(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    static_assert(kHeaderSize == 4 + 16 + 4 + 4 + 3 * 8 + 4 + 4 + 4 + 2 + 2 + 4 + 4);

    if (flags & kHasLinkInfo) {
        std::string info;
        std::string volume;
        Put32(volume, 0);  // size, set below
        Put32(volume, driveType);
        Put32(volume, serial);
        Put32(volume, 0x10);  // label offset
        volume += label;
        volume += '\0';
        Set32(volume, 0, static_cast<std::uint32_t>(volume.size()));

        std::string localPath = AnsiCopy(d.path);
        std::uint32_t volumeOffset = kLinkInfoHeaderSizeUnicode;
        std::uint32_t pathOffset = volumeOffset + static_cast<std::uint32_t>(volume.size());
        std::uint32_t suffixOffset = pathOffset + static_cast<std::uint32_t>(localPath.size()) + 1;
        std::uint32_t pathOffsetW = suffixOffset + 1;
        std::string pathW;
        PutUnicodeZ(pathW, d.path);
        std::uint32_t suffixOffsetW = pathOffsetW + static_cast<std::uint32_t>(pathW.size());

        Put32(info, 0);  // size, set below
        Put32(info, kLinkInfoHeaderSizeUnicode);
        Put32(info, kVolumeIDAndLocalBasePath);
        Put32(info, volumeOffset);
        Put32(info, pathOffset);
        Put32(info, 0);  // no network part
        Put32(info, suffixOffset);
        Put32(info, pathOffsetW);
        Put32(info, suffixOffsetW);
        info += volume;
        info += localPath;
        info += '\0';
        info += '\0';  // empty common path suffix
        info += pathW;
        Put16(info, 0);  // empty Unicode suffix
        Set32(info, 0, static_cast<std::uint32_t>(info.size()));
        b += info;
    }
    if (flags & kHasName) PutStringData(b, d.description);
    if (flags & kHasWorkingDir) PutStringData(b, d.workingDir);
    if (flags & kHasArguments) PutStringData(b, d.arguments);
    if (flags & kHasIconLocation) PutStringData(b, d.iconPath);
    Put32(b, 0);  // terminal extra-data block
    return b;
}

// Reads a link; false for a file that is not one. Bounds are checked everywhere: a link
// file is outside data.
bool Decode(const std::string& b, LinkData& d) {
    auto get16 = [&](std::size_t at, std::uint32_t& v) {
        if (at + 2 > b.size()) return false;
        v = static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
        return true;
    };
    auto get32 = [&](std::size_t at, std::uint32_t& v) {
        if (at + 4 > b.size()) return false;
        v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
        return true;
    };
    std::uint32_t headerSize = 0, flags = 0, v = 0;
    if (!get32(0, headerSize) || headerSize != kHeaderSize || b.size() < kHeaderSize) return false;
    if (b.compare(4, 16, std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16)) != 0)
        return false;
    get32(20, flags);
    get32(56, v);
    d.iconIndex = static_cast<int>(v);
    get32(60, v);
    d.showCmd = static_cast<int>(v);
    std::size_t at = kHeaderSize;
    if (flags & kHasLinkTargetIDList) {
        if (!get16(at, v)) return false;
        at += 2 + v;
    }
    if (flags & kHasLinkInfo) {
        std::uint32_t infoSize = 0, infoHeader = 0, infoFlags = 0, pathOffset = 0, pathOffsetW = 0;
        if (!get32(at, infoSize) || !get32(at + 4, infoHeader) || !get32(at + 8, infoFlags) ||
            !get32(at + 16, pathOffset) || at + infoSize > b.size())
            return false;
        if (infoHeader >= kLinkInfoHeaderSizeUnicode && !get32(at + 28, pathOffsetW)) return false;
        if (infoFlags & kVolumeIDAndLocalBasePath) {
            if (pathOffsetW) {
                std::u16string w;
                for (std::size_t p = at + pathOffsetW; p + 2 <= at + infoSize; p += 2) {
                    get16(p, v);
                    if (v == 0) break;
                    w += static_cast<char16_t>(v);
                }
                d.path = FromUtf16(w);
            } else if (pathOffset < infoSize) {
                std::size_t start = at + pathOffset, end = b.find('\0', start);
                if (end == std::string::npos || end > at + infoSize) return false;
                d.path = b.substr(start, end - start);
            }
        }
        at += infoSize;
    }
    String* fields[] = {&d.description, nullptr, &d.workingDir, &d.arguments, &d.iconPath};
    std::uint32_t bits[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments, kHasIconLocation};
    for (int i = 0; i < 5; ++i) {
        if (!(flags & bits[i])) continue;
        std::uint32_t count = 0;
        if (!get16(at, count)) return false;
        at += 2;
        String text;
        if (flags & kIsUnicode) {
            if (at + 2 * count > b.size()) return false;
            std::u16string w;
            for (std::uint32_t k = 0; k < count; ++k) {
                get16(at + 2 * k, v);
                w += static_cast<char16_t>(v);
            }
            text = FromUtf16(w);
            at += 2 * count;
        } else {
            if (at + count > b.size()) return false;
            text = b.substr(at, count);
            at += count;
        }
        if (fields[i]) *fields[i] = text;
    }
    return true;
}

HRESULT CopyOut(const String& value, char* buffer, int cch) {
    if (!buffer || cch <= 0) return E_INVALIDARG;
    std::size_t n = std::min(value.size(), static_cast<std::size_t>(cch - 1));
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return S_OK;
}

HRESULT Store(String& field, const char* text) {
    if (!text) return E_INVALIDARG;
    String t = text;
    if (t.size() > kMaxLinkText) return E_INVALIDARG;
    field = t;
    return S_OK;
}

class ShellLinkObject final : public IShellLinkA, public IPersistFile {
public:
    HRESULT QueryInterface(const IID& riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IShellLinkA) {
            *object = static_cast<IShellLinkA*>(this);
        } else if (riid == IID_IPersistFile) {
            *object = static_cast<IPersistFile*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetPath(char* file, int cch, void*, DWORD) override { return CopyOut(d_.path, file, cch); }
    HRESULT SetPath(const char* file) override {
        if (!file) return E_INVALIDARG;
        dirty_ = true;
        return Store(d_.path, ExpandFileName(file).c_str());
    }
    HRESULT GetArguments(char* args, int cch) override { return CopyOut(d_.arguments, args, cch); }
    HRESULT SetArguments(const char* args) override { return Mark(Store(d_.arguments, args)); }
    HRESULT GetDescription(char* name, int cch) override { return CopyOut(d_.description, name, cch); }
    HRESULT SetDescription(const char* name) override { return Mark(Store(d_.description, name)); }
    HRESULT GetWorkingDirectory(char* dir, int cch) override { return CopyOut(d_.workingDir, dir, cch); }
    HRESULT SetWorkingDirectory(const char* dir) override { return Mark(Store(d_.workingDir, dir)); }
    HRESULT GetIconLocation(char* iconPath, int cch, int* icon) override {
        if (icon) *icon = d_.iconIndex;
        return CopyOut(d_.iconPath, iconPath, cch);
    }
    HRESULT SetIconLocation(const char* iconPath, int icon) override {
        d_.iconIndex = icon;
        return Mark(Store(d_.iconPath, iconPath));
    }
    HRESULT GetShowCmd(int* showCmd) override {
        if (!showCmd) return E_POINTER;
        *showCmd = d_.showCmd;
        return S_OK;
    }
    HRESULT SetShowCmd(int showCmd) override {
        d_.showCmd = showCmd;
        dirty_ = true;
        return S_OK;
    }

    HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT Load(LPCOLESTR fileName, DWORD) override {
        if (!fileName) return E_POINTER;
        THandle h = FileOpen(platform::FromOleString(fileName), fmOpenRead | fmShareDenyWrite);
        if (h == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
        std::string bytes;
        char buffer[4096];
        Integer n;
        while ((n = FileRead(h, buffer, sizeof buffer)) > 0 && bytes.size() < (1u << 20))
            bytes.append(buffer, static_cast<std::size_t>(n));
        FileClose(h);
        LinkData d;
        if (!Decode(bytes, d)) return E_FAIL;
        d_ = d;
        dirty_ = false;
        return S_OK;
    }
    HRESULT Save(LPCOLESTR fileName, BOOL) override {
        if (!fileName) return E_POINTER;
        try {
            platform::AtomicFile file(platform::FromOleString(fileName));
            file.Write(Encode(d_));
            file.Commit();
        } catch (const EOSError& e) {
            return HRESULT_FROM_WIN32(e.ErrorCode ? e.ErrorCode : ERROR_ACCESS_DENIED);
        } catch (const Exception&) {
            return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED);
        }
        dirty_ = false;
        return S_OK;
    }
    HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }

private:
    HRESULT Mark(HRESULT hr) {
        if (SUCCEEDED(hr)) dirty_ = true;
        return hr;
    }
    ULONG refs_ = 1;
    bool dirty_ = false;
    LinkData d_;
};

}  // namespace

HRESULT CoInitialize(void*) {
    return t_comInitialized++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_comInitialized > 0) --t_comInitialized;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD, const IID& riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (t_comInitialized == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(clsid == CLSID_ShellLink)) return REGDB_E_CLASSNOTREG;
    auto* link = new ShellLinkObject;
    HRESULT hr = link->QueryInterface(riid, object);
    link->Release();  // the interface asked for holds the only reference now
    return hr;
}

namespace platform {

std::wstring ToOleString(const String& text) {
    std::wstring out;
    std::u16string w = Utf16(text);
    for (std::size_t i = 0; i < w.size(); ++i) {
        char32_t cp = w[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < w.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        }
        out += static_cast<wchar_t>(cp);
    }
    return out;
}

String FromOleString(LPCOLESTR text) {
    String out;
    if (!text) return out;
    for (; *text; ++text) AppendUtf8(out, static_cast<char32_t>(*text) > 0x10FFFF ? 0xFFFD : static_cast<char32_t>(*text));
    return out;
}

}  // namespace platform
