#include "zip/StringResource.h"

#include <map>
#include <memory>
#include <string>

namespace {

// The module's table "S_Stream" (180 bytes): id (little-endian), length, text; id 0 ends it.
std::string BuildTable() {
    const std::pair<int, const char*> entries[] = {
        {1, "Seek error"},
        {2, "Invalid seek origin (%d)"},
        {3, "Putback overflow"},
        {4, "Cannot find resource"},
        {5, "Cannot access resource"},
        {6, "Seek past end of resource stream"},
        {7, "Cannot write to a resource stream"},
    };
    std::string t;
    for (auto [id, text] : entries) {
        t += static_cast<char>(id & 0xFF);
        t += static_cast<char>(id >> 8);
        t += static_cast<char>(std::char_traits<char>::length(text));
        t += text;
    }
    t += std::string(2, '\0');
    return t;
}

const std::string& StreamTable() {
    static const std::string table = BuildTable();
    return table;
}

String Upper(String s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

}  // namespace

TS_StringResource::TS_StringResource(const String& name) {
    if (!name.empty()) Open(name);
}

TS_StringResource::~TS_StringResource() { Close(); }

void TS_StringResource::Open(const String& name) {
    // The module holds one table of type S_STRINGTABLE; names match without regard to case.
    if (Upper(name) != "S_STREAM") throw Exception("No such string resource: " + name);
    resource_ = reinterpret_cast<const Byte*>(StreamTable().data());
}

void TS_StringResource::Close() {
    if (locked_) Unlock();
    resource_ = nullptr;
}

void TS_StringResource::Lock() {
    if (!resource_) throw EOutOfResources("Cannot lock string resource");
    locked_ = resource_;
}

void TS_StringResource::Unlock() { locked_ = nullptr; }

const Byte* TS_StringResource::NextEntry(const Byte* entry) const { return entry + 3 + entry[2]; }

const Byte* TS_StringResource::FindEntry(short id) const {
    for (const Byte* e = locked_; e != nullptr;) {
        auto entryId = static_cast<short>(e[0] | (e[1] << 8));
        if (entryId == 0) return nullptr;
        if (entryId == id) return e;
        e = NextEntry(e);
    }
    return nullptr;
}

String TS_StringResource::GetString(short id) {
    Lock();
    String text;
    if (const Byte* e = FindEntry(id)) text.assign(reinterpret_cast<const char*>(e + 3), e[2]);
    Unlock();
    return text;
}

String LoadStreamString(const String& tableName, short id) {
    // One reader per table name (without regard to case), kept for the module's lifetime.
    static std::map<String, std::unique_ptr<TS_StringResource>> cache;
    auto& reader = cache[Upper(tableName)];
    if (!reader) reader = std::make_unique<TS_StringResource>(tableName);
    return reader->GetString(id);
}
