#include "image/CxIOFile.h"
#include "image/CxMemFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CxMemFile, GrowsInSixtyFourKiBStepsAndKeepsData)
{
    CxMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(file.Open());
    BYTE b = 7;
    ASSERT_EQ(file.Write(&b, 1, 1), 1u);
    EXPECT_EQ(file.GetCapacity(), 65536u);
    std::vector<BYTE> block(65535, 0xAB);
    ASSERT_EQ(file.Write(block.data(), 1, block.size()), block.size());
    EXPECT_EQ(file.GetCapacity(), 65536u); // exactly full: no growth yet
    ASSERT_TRUE(file.PutC(0xAB));
    EXPECT_EQ(file.Size(), 65537);
    EXPECT_EQ(file.GetCapacity(), 131072u);
    EXPECT_EQ(file.GetBuffer()[0], 7);
    EXPECT_EQ(file.GetBuffer()[65535], 0xAB);

    // Close then Open empties the buffer for reuse.
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.Size(), -1);
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Size(), 0);
}

TEST(CxMemFile, SeekReadAndLines)
{
    BYTE data[] = {'a', 'b', '\n', 'c', 'd'};
    CxMemFile file(data, sizeof data);
    EXPECT_TRUE(file.Seek(-5, 0));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_FALSE(file.Seek(0, 3));

    char line[8];
    EXPECT_STREQ(file.GetS(line, sizeof line), "ab\n");
    EXPECT_EQ(file.GetS(line, sizeof line), nullptr); // data ends before a line feed
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.GetC(), -1);

    BYTE pair[2];
    file.Seek(-2, 2);
    EXPECT_EQ(file.Read(pair, 2, 2), 1u); // only whole items count
    file.Seek(10, 0);
    EXPECT_EQ(file.Error(), 1);
    EXPECT_EQ(file.Read(pair, 1, 2), 0u);
}

TEST(CxMemFile, WritingPastTheEndOfACallerBufferCopiesAndZeroesTheGap)
{
    BYTE data[4] = {1, 2, 3, 4};
    CxMemFile file(data, sizeof data);
    file.Seek(8, 0);
    BYTE b = 9;
    ASSERT_EQ(file.Write(&b, 1, 1), 1u);
    ASSERT_NE(file.GetBuffer(), data);
    EXPECT_EQ(file.Size(), 9);
    const BYTE expected[] = {1, 2, 3, 4, 0, 0, 0, 0, 9};
    EXPECT_EQ(0, memcmp(file.GetBuffer(), expected, sizeof expected));
    EXPECT_EQ(data[3], 4);
}

TEST(CxMemFile, EmptyFileRefusesEverything)
{
    CxMemFile file;
    BYTE b = 0;
    EXPECT_EQ(file.Write(&b, 1, 1), 0u);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Error(), -1);
    EXPECT_FALSE(file.Seek(0, 0));
    EXPECT_TRUE(file.Eof());
}

TEST(CxIOFile, WritesReadsAndSizesAWidePath)
{
    pictavo::test::TempDir dir;
    std::string path = dir.file("t\xE5\x9B\xBE.bin").string();
    std::string folder = dir.path().string();
    std::u16string wide = std::u16string(folder.begin(), folder.end()) + u"/t\u56FE.bin";
    {
        CxIOFile file;
        ASSERT_TRUE(file.Open(wide.c_str(), u"wb"));
        EXPECT_FALSE(file.Open(wide.c_str(), u"wb"));
        EXPECT_EQ(file.Write("hello\n", 1, 6), 6u);
        EXPECT_TRUE(file.PutC('x'));
    }
    CxIOFile file;
    ASSERT_TRUE(file.OpenUtf8(path.c_str(), "rb"));
    EXPECT_EQ(file.Size(), 7);
    EXPECT_EQ(file.Tell(), 0);
    char line[16];
    EXPECT_STREQ(file.GetS(line, sizeof line), "hello\n");
    EXPECT_EQ(file.GetC(), 'x');
    EXPECT_EQ(file.GetC(), -1);
    EXPECT_TRUE(file.Eof());

    CxIOFile none;
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.GetC(), -1);
    EXPECT_TRUE(none.Eof());
}
