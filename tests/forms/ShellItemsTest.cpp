#include "forms/DesktopFolder.h"
#include "forms/SystemIconList.h"
#include "platform/kernel/Strings.h"
#include "platform/shell/ShellFixture.h"
#include "platform/shell/ShlwApi.h"
#include "platform/shell/SystemIcons.h"

using pictavo::platform::fromUtf8;
using pictavo::platform::SystemIcons;

class ShellItems : public pictavo::test::ShellFixture
{};

TEST_F(ShellItems, DesktopTreeAsTheFolderDialogBuildsIt)
{
    mkdirs(desktop / "photos" / "2014");
    const auto data = dir.path() / "mnt" / "data";
    mkdirs(data);
    writeMounts("/ ext4\n/proc proc\n" + data.string() + " ext4\n");

    Quendal::Shell::DesktopFolder shell;
    const Quendal::Shell::Item& root = *shell.rootItem();
    EXPECT_EQ(u"桌面", root.displayName);
    EXPECT_EQ(fromUtf8(desktop.string()), root.fileSystemPath);
    EXPECT_EQ(SystemIcons::Desktop, root.iconIndex);

    const auto top = shell.EnumChildren(root);
    ASSERT_EQ(3u, top.size());
    EXPECT_EQ(u"我的电脑", top[0]->displayName);
    EXPECT_EQ(u"", top[0]->fileSystemPath);
    EXPECT_EQ(u"ann", top[1]->displayName);
    EXPECT_EQ(fromUtf8(home.string()), top[1]->fileSystemPath);
    EXPECT_EQ(u"photos", top[2]->displayName);

    const auto drives = shell.EnumChildren(*top[0]);
    ASSERT_EQ(2u, drives.size());
    EXPECT_EQ(u"文件系统", drives[0]->displayName);
    EXPECT_EQ(u"/", drives[0]->fileSystemPath);
    EXPECT_EQ(fromUtf8(data.string()), drives[1]->fileSystemPath);
    EXPECT_EQ(SystemIcons::Drive, drives[1]->iconIndex);

    const auto years = shell.EnumChildren(*top[2]);
    ASSERT_EQ(1u, years.size());
    EXPECT_EQ(fromUtf8((desktop / "photos" / "2014").string()), years[0]->fileSystemPath);
    EXPECT_EQ(u"文件夹", years[0]->typeName);
    EXPECT_TRUE(shell.EnumChildren(*years[0]).empty());

    Quendal::Shell::SystemIconList icons;
    EXPECT_NE(nullptr, icons.GetHandle());
    EXPECT_EQ(SystemIcons::Count, ImageList_GetImageCount(icons.GetHandle()));
}

TEST_F(ShellItems, RememberedFolderIsFoundThroughItsDriveAndWholeComponents)
{
    const auto data = dir.path() / "data";
    mkdirs(data / "photos" / "2014");
    mkdirs(data / "photos2" / "2014");
    writeMounts("/ ext4\n" + data.string() + " ext4\n");
    const std::u16string remembered = fromUtf8((data / "photos2" / "2014").string());

    Quendal::Shell::DesktopFolder shell;
    const auto drives = shell.EnumChildren(*shell.EnumChildren(*shell.rootItem())[0]);
    WCHAR root[MAX_PATH];
    std::copy(remembered.begin(), remembered.end() + 1, root);
    ASSERT_TRUE(PathStripToRootW(root));
    const Quendal::Shell::Item* node = nullptr;
    for (const auto* drive : drives)
        if (drive->fileSystemPath == root)
            node = drive;
    ASSERT_NE(nullptr, node);

    std::vector<std::u16string> walked{node->displayName};
    while (node->fileSystemPath != remembered) {
        const Quendal::Shell::Item* next = nullptr;
        for (const auto* child : shell.EnumChildren(*node)) {
            if (PathIsPrefixW(child->fileSystemPath.c_str(), remembered.c_str())) {
                next = child; // the first one inside: "photos" must not pass for "photos2"
                break;
            }
        }
        ASSERT_NE(nullptr, next) << pictavo::platform::toUtf8(node->fileSystemPath);
        node = next;
        walked.push_back(node->displayName);
    }
    EXPECT_EQ((std::vector<std::u16string>{u"data", u"photos2", u"2014"}), walked);
}
