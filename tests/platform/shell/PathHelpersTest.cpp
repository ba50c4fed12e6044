#include "ShellFixture.h"

#include "platform/kernel/Strings.h"
#include "platform/shell/ShlwApi.h"

using namespace pictavo::platform;
using pictavo::test::ShellFixture;

namespace {

std::u16string w(const std::string& s)
{
    return fromUtf8(s);
}

std::u16string strip(const std::u16string& path, BOOL* ok = nullptr)
{
    WCHAR buffer[MAX_PATH];
    std::copy(path.begin(), path.end(), buffer);
    buffer[path.size()] = 0;
    const BOOL r = PathStripToRootW(buffer);
    if (ok)
        *ok = r;
    return buffer;
}

} // namespace

TEST(PathHelpers, FileNameAndExtensionOfLastComponent)
{
    const struct
    {
        const char16_t* path;
        const char16_t* name;
        const char16_t* ext;
    } cases[] = {
        {u"/", u"/", u""},
        {u"/home/ann/a.tar.gz", u"a.tar.gz", u".gz"},
        {u"/home/ann/.bashrc", u".bashrc", u".bashrc"},
        {u"/home/ann/README", u"README", u""},
        {u"/home/ann.d/README", u"README", u""},
        {u"/home/ann.d/", u"ann.d/", u""},
        {u"/a//b.", u"b.", u"."},
        {u"plain.JPG", u"plain.JPG", u".JPG"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::u16string(c.name), PathFindFileNameW(c.path)) << toUtf8(c.path);
        EXPECT_EQ(std::u16string(c.ext), PathFindExtensionW(c.path)) << toUtf8(c.path);
    }
}

TEST(PathHelpers, RenameExtensionReplacesOrAppendsWithinMaxPath)
{
    WCHAR buffer[MAX_PATH] = u"/x/a.b.JPEG";
    EXPECT_TRUE(PathRenameExtensionW(buffer, u".jpg"));
    EXPECT_EQ(std::u16string(u"/x/a.b.jpg"), buffer);
    std::u16string plain = u"/x.d/a";
    std::copy(plain.begin(), plain.end() + 1, buffer);
    EXPECT_TRUE(PathRenameExtensionW(buffer, u".png"));
    EXPECT_EQ(std::u16string(u"/x.d/a.png"), buffer);

    const std::u16string longName = u"/" + std::u16string(MAX_PATH - 4, u'n');
    std::copy(longName.begin(), longName.end() + 1, buffer);
    EXPECT_FALSE(PathRenameExtensionW(buffer, u".jpg"));
    EXPECT_EQ(longName, buffer);
}

TEST(PathHelpers, CombineJoinsResolvesAndRefusesOverlongResults)
{
    const struct
    {
        const char16_t* folder;
        const char16_t* file;
        const char16_t* result;
    } cases[] = {
        {u"/home/ann", u"a.jpg", u"/home/ann/a.jpg"},
        {u"/home/ann/", u"a.jpg", u"/home/ann/a.jpg"},
        {u"/", u"a.jpg", u"/a.jpg"},
        {u"/home/ann", u"/etc/x", u"/etc/x"},
        {u"/home/ann", u"../bob/./x", u"/home/bob/x"},
        {u"/", u"../..", u"/"},
        {u"/home/ann", u"", u"/home/ann"},
        {u"", u"x/y/", u"x/y/"},
    };
    WCHAR out[MAX_PATH];
    for (const auto& c : cases) {
        ASSERT_EQ(out, PathCombineW(out, c.folder, c.file)) << toUtf8(c.folder) << " + " << toUtf8(c.file);
        EXPECT_EQ(std::u16string(c.result), out);
    }
    WCHAR inPlace[MAX_PATH] = u"/home/ann";
    EXPECT_EQ(inPlace, PathCombineW(inPlace, inPlace, u"b.png"));
    EXPECT_EQ(std::u16string(u"/home/ann/b.png"), inPlace);

    const std::u16string folder = u"/" + std::u16string(250, u'f');
    EXPECT_EQ(nullptr, PathCombineW(out, folder.c_str(), u"name.jpg"));
    EXPECT_EQ(0, out[0]);
}

class PathRoots : public ShellFixture
{};

TEST_F(PathRoots, RootIsTheLongestWholeComponentMountPoint)
{
    const std::string data = (dir.path() / "mnt" / "data").string();
    mkdirs(data);
    mkdirs(data + "x");
    writeMounts("/ ext4\n" + data + " ext4\n");

    EXPECT_EQ(w(data), strip(w(data + "/photos/2014")));
    EXPECT_EQ(w(data), strip(w(data + "/")));
    EXPECT_EQ(w(data), strip(w(data)));
    EXPECT_EQ(u"/", strip(w(data + "x/photos")));
    EXPECT_EQ(u"/", strip(u"/"));
    BOOL ok = TRUE;
    EXPECT_EQ(u"", strip(u"relative/photos", &ok));
    EXPECT_FALSE(ok);

    EXPECT_TRUE(PathIsRootW(u"/"));
    EXPECT_TRUE(PathIsRootW(u"//"));
    EXPECT_TRUE(PathIsRootW(w(data + "/").c_str()));
    EXPECT_FALSE(PathIsRootW(w(data + "x").c_str()));
    EXPECT_FALSE(PathIsRootW(w(data + "/photos").c_str()));
    EXPECT_FALSE(PathIsRootW(u""));
}

TEST(PathHelpers, InsideMeansWholeComponents)
{
    EXPECT_TRUE(PathIsPrefixW(u"/home/ann", u"/home/ann/photos"));
    EXPECT_TRUE(PathIsPrefixW(u"/home/ann/", u"/home/ann"));
    EXPECT_TRUE(PathIsPrefixW(u"/", u"/home"));
    EXPECT_FALSE(PathIsPrefixW(u"/home/ann", u"/home/anna"));
    EXPECT_FALSE(PathIsPrefixW(u"/home/Ann", u"/home/ann/x"));
    EXPECT_FALSE(PathIsPrefixW(u"/home/ann/photos", u"/home/ann"));
}

TEST(PathHelpers, FileTitleDropsTheExtensionAndReportsSizes)
{
    WCHAR title[MAX_PATH];
    EXPECT_EQ(0, GetFileTitleW(u"/x/photo.tar.JPG", title, MAX_PATH));
    EXPECT_EQ(std::u16string(u"photo.tar"), title);
    EXPECT_EQ(0, GetFileTitleW(u".bashrc", title, MAX_PATH));
    EXPECT_EQ(std::u16string(u".bashrc"), title);
    EXPECT_EQ(0, GetFileTitleW(u"/x.d/README", title, MAX_PATH));
    EXPECT_EQ(std::u16string(u"README"), title);
    EXPECT_EQ(6, GetFileTitleW(u"/x/photo.jpg", title, 3));
    EXPECT_EQ(6, GetFileTitleW(u"/x/photo.jpg", nullptr, 0));
    EXPECT_LT(GetFileTitleW(u"/x/", title, MAX_PATH), 0);
    EXPECT_LT(GetFileTitleW(u"", title, MAX_PATH), 0);
}

TEST(PathHelpers, StrCmpIgnoresCaseFirstThenOrdersExactly)
{
    EXPECT_LT(StrCmpW(u"apple", u"Banana"), 0);
    EXPECT_GT(StrCmpW(u"/home/b", u"/home/A/z"), 0);
    EXPECT_LT(StrCmpW(u"Photos", u"photos"), 0);
    EXPECT_LT(StrCmpW(u"photo", u"Photos"), 0);
    EXPECT_EQ(0, StrCmpW(u"照片", u"照片"));
}

TEST(PathHelpers, ExistenceAndFoldersOnDisk)
{
    pictavo::test::TempDir dir;
    const auto file = dir.write("caf\xe9.jpg", "x");
    EXPECT_TRUE(PathFileExistsW(fromUtf8(file.string()).c_str()));
    EXPECT_FALSE(PathIsDirectoryW(fromUtf8(file.string()).c_str()));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, PathIsDirectoryW(fromUtf8(dir.path().string()).c_str()));
    EXPECT_FALSE(PathFileExistsW(fromUtf8((dir.path() / "missing").string()).c_str()));
    EXPECT_FALSE(PathFileExistsW(u""));
}
