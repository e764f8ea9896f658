#include <gtest/gtest.h>

#include "zip/BufferStream.h"
#include "zip/StringResource.h"

namespace {

TMemoryStream Bytes(int n) {
    TMemoryStream s;
    for (int i = 0; i < n; ++i) {
        Byte b = static_cast<Byte>(i);
        s.WriteBuffer(&b, 1);
    }
    s.SetPosition(0);
    return s;
}

TEST(BufferStream, ShortReadsAtTheEnd) {
    TMemoryStream inner = Bytes(30);
    TS_BufferStream s(inner);
    Byte buf[46];
    EXPECT_EQ(s.Read(buf, 46), 30);
    EXPECT_EQ(s.Read(buf, 46), 0);
}

TEST(BufferStream, LogicalPositionCountsBufferedBytes) {
    TMemoryStream inner = Bytes(100);
    TS_BufferStream s(inner);
    Byte buf[10];
    s.Read(buf, 10);
    EXPECT_EQ(s.Seek(0, Word(1)), 10);
    EXPECT_EQ(inner.Position(), 100);  // read ahead
    EXPECT_EQ(s.Seek(-22, Word(2)), 78);
    EXPECT_EQ(s.Seek(22, Word(2)), 78);
}

TEST(BufferStream, BadOriginNamesIt) {
    TMemoryStream inner = Bytes(10);
    TS_BufferStream s(inner);
    try {
        s.Seek(0, Word(3));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid seek origin (3)");
    }
}

TEST(BufferStream, PendingWritesReachTheInnerStreamOnDestruction) {
    TMemoryStream inner;
    {
        TS_BufferStream s(inner);
        s.WriteBuffer("abcde", 5);
        EXPECT_EQ(s.Seek(0, Word(1)), 5);
        EXPECT_EQ(inner.Size(), 0);
    }
    EXPECT_EQ(inner.Size(), 5);
}

TEST(BufferStream, ReadWriteSeekMixes) {
    TMemoryStream inner = Bytes(100);
    {
        TS_BufferStream s(inner);
        Byte buf[13];
        s.Read(buf, 10);
        s.WriteBuffer("\xAA\xBB\xCC", 3);
        s.Seek(0, Word(0));
        ASSERT_EQ(s.Read(buf, 13), 13);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(buf[i], i);
        EXPECT_EQ(buf[10], 0xAA);
        EXPECT_EQ(buf[12], 0xCC);
    }
    TMemoryStream other = Bytes(100);
    TS_BufferStream s(other);
    s.WriteBuffer("xyz", 3);
    Byte two[2];
    ASSERT_EQ(s.Read(two, 2), 2);
    EXPECT_EQ(two[0], 3);
    EXPECT_EQ(two[1], 4);
}

// Seeks inside the bytes read ahead are served from the buffer; reads and writes after them
// land where the logical position says.
TEST(BufferStream, SeeksWithinTheReadAheadKeepEveryPositionRight) {
    TMemoryStream inner = Bytes(200);
    TS_BufferStream s(inner);
    Byte b = 0;
    ASSERT_EQ(s.Read(&b, 1), 1);  // reads all 200 ahead
    for (const Int64 at : {150, 20, 199, 0, 77, 200}) {
        ASSERT_EQ(s.Seek(at, Word(0)), at);
        EXPECT_EQ(inner.Position(), 200);  // no new read
        if (at < 200) {
            ASSERT_EQ(s.Read(&b, 1), 1);
            EXPECT_EQ(b, at);
        } else {
            EXPECT_EQ(s.Read(&b, 1), 0);
        }
    }
    s.Seek(0, Word(0));
    ASSERT_EQ(s.Read(&b, 1), 1);
    s.Seek(40, Word(0));
    s.WriteBuffer("\xEE", 1);
    s.Commit();
    inner.SetPosition(40);
    inner.ReadBuffer(&b, 1);
    EXPECT_EQ(b, 0xEE);
    EXPECT_EQ(inner.Size(), 200);
}

TEST(BufferStream, LargeTransfersCrossTheBuffer) {
    TMemoryStream inner;
    std::vector<Byte> data(20000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<Byte>(i * 7);
    {
        TS_BufferStream s(inner);
        s.WriteBuffer(data.data(), 20000);
        s.Commit();
        EXPECT_EQ(inner.Size(), 20000);
        s.Seek(0, Word(0));
        std::vector<Byte> back(20000);
        s.ReadBuffer(back.data(), 20000);
        EXPECT_EQ(back, data);
    }
}

TEST(BufferStream, PutBack) {
    TMemoryStream inner = Bytes(5);
    TS_BufferStream s(inner);
    try {
        s.PutBack(1);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Putback overflow");
    }
    Byte b = 0;
    s.Read(&b, 1);
    s.PutBack(0x77);
    s.Read(&b, 1);
    EXPECT_EQ(b, 0x77);
}

TEST(StringResource, TableLookups) {
    EXPECT_EQ(LoadStreamString("S_Stream", 2), "Invalid seek origin (%d)");
    EXPECT_EQ(LoadStreamString("s_stream", 7), "Cannot write to a resource stream");
    EXPECT_EQ(LoadStreamString("S_Stream", 9), "");
    try {
        LoadStreamString("Nope", 1);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "No such string resource: Nope");
    }
}

}  // namespace
