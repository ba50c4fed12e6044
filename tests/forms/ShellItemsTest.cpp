#include "forms/DesktopFolder.h"
#include "forms/SystemIconList.h"
#include "platform/kernel/Strings.h"
#include "platform/shell/ShellFixture.h"
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
