// The string-table resource of the zip engine: the messages of the buffered stream live in
// a table named "S_Stream" of type "S_StringTable" and are fetched by table name and number.
//
// The table is compiled into the module as the bytes the resource holds (entries of a
// 16-bit id, a length byte and the text; id 0 ends the list), so lookups walk the same
// layout a resource file would have. One reader per table name is kept for the module's
// lifetime.
#pragma once

#include "platform/Exceptions.h"

class TS_StringResource {
public:
    explicit TS_StringResource(const String& name = String());
    virtual ~TS_StringResource();

    virtual void Open(const String& name);
    virtual void Close();
    virtual void Lock();
    virtual void Unlock();
    // The entry after entry, and the entry with id (none when absent).
    virtual const Byte* NextEntry(const Byte* entry) const;
    virtual const Byte* FindEntry(short id) const;
    String GetString(short id);

private:
    const Byte* resource_ = nullptr;
    const Byte* locked_ = nullptr;
};

// Text number id of the named table; empty when the table has no such entry.
String LoadStreamString(const String& tableName, short id);
