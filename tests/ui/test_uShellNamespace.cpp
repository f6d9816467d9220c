// The item identifier lists and the local shell namespace on a small fixture tree.
#include "ui/uShellNamespace.h"

#include "ShellFixture.h"

#include <gtest/gtest.h>

namespace {

QByteArray B(const char* text) { return QByteArray(text); }
QString S(const char* text) { return QString::fromUtf8(text); }

TEST(ItemIdList, SizesAndNullAnswers)
{
    const TItemIdList none;
    const TItemIdList top = TItemIdList::Empty();
    const TItemIdList two = TItemIdList::FromItems({ B("/home/u"), B("abc") });
    EXPECT_TRUE(none.IsNull());
    EXPECT_EQ(none.Size(), 0);
    EXPECT_EQ(top.Size(), 2) << "only the terminator";
    EXPECT_EQ(two.Size(), (2 + 7) + (2 + 3) + 2);

    EXPECT_TRUE(none.Next().IsNull());
    EXPECT_TRUE(top.Next().IsNull()) << "at the terminator";
    EXPECT_EQ(two.Next(), TItemIdList::FromItems({ B("abc") }));
    EXPECT_TRUE(top.CopyFirst().IsNull());
    EXPECT_TRUE(none.CopyFirst().IsNull());
    EXPECT_EQ(two.CopyFirst(), TItemIdList::FromItems({ B("/home/u") }));

    EXPECT_EQ(TItemIdList::Concat(two, two).Count(), 4);
    EXPECT_EQ(TItemIdList::Concat(top, two), two);
    EXPECT_TRUE(TItemIdList::Concat(none, two).IsNull());
    EXPECT_EQ(none.Append(B("x")), TItemIdList::FromItems({ B("x") }));
    EXPECT_EQ(two.Left(1), two.CopyFirst());
    EXPECT_EQ(two.Left(9), two);

    EXPECT_FALSE(TItemIdList::FromItems({ QByteArray(TItemIdList::MaxItemSize, 'x') }).IsNull());
    EXPECT_TRUE(TItemIdList::FromItems({ QByteArray(TItemIdList::MaxItemSize + 1, 'x') }).IsNull())
        << "an item the 16-bit count cannot carry";
}

class LocalShell : public ::testing::Test {
protected:
    TShellFixture Fixture;
    TLocalShellNamespace Shell { Fixture.Places() };

    // Display names of a folder's children in the namespace's order.
    QStringList Children(const TItemIdList& folder)
    {
        std::vector<TShellChild> children;
        EXPECT_TRUE(Shell.EnumFolders(folder, children));
        std::stable_sort(children.begin(), children.end(),
            [&](const TShellChild& a, const TShellChild& b) { return Shell.Compare(folder, a.Item, b.Item) < 0; });
        QStringList names;
        for (const TShellChild& child : children)
            names << child.Info.DisplayName;
        return names;
    }
};

TEST_F(LocalShell, SubFoldersOnlyHiddenIncludedSortedCaseInsensitively)
{
    EXPECT_EQ(Children(TItemIdList::Empty()), QStringList { S("File System") }) << "no home, desktop or volumes";
    const TItemIdList root = Shell.Parse(Fixture.Path());
    EXPECT_EQ(root.Count(), 1);
    EXPECT_EQ(Children(root), (QStringList { S(".hidden"), S("a"), S("B"), S("link") }))
        << "no file, no dangling link; a link to a folder is a folder";
    EXPECT_EQ(Children(Shell.Parse(Fixture.Path(S("link")))), QStringList { S("x") });
    std::vector<TShellChild> none;
    EXPECT_FALSE(Shell.EnumFolders(TItemIdList::FromItems({ QFile::encodeName(Fixture.Path(S("gone"))) }), none));
    EXPECT_FALSE(Shell.EnumFolders(TItemIdList(), none));
}

TEST_F(LocalShell, ParseAndPathOf)
{
    const struct {
        QString Path;
        int Items; // -1: not parsed
    } cases[] = {
        { Fixture.Path(), 1 },
        { Fixture.Path(S("a/x")), 3 },
        { Fixture.Path(S("a/./x/../x/")), 3 },
        { Fixture.Path(S("link/x")), 3 },
        { Fixture.Path(S("missing")), -1 },
        { Fixture.Path(S("f.txt")), -1 },
        { Fixture.Path(S("dangling")), -1 },
        { S("a/x"), -1 },
        { QString(), -1 },
        { S("/"), -1 }, // above the fixture's file system
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const TItemIdList list = Shell.Parse(c.Path);
        if (c.Items < 0) {
            EXPECT_TRUE(list.IsNull());
            continue;
        }
        EXPECT_EQ(list.Count(), c.Items);
        EXPECT_EQ(Shell.PathOf(list), QDir::cleanPath(c.Path));
    }
    EXPECT_EQ(Shell.PathOf(TItemIdList::Empty()), QString()) << "the top is virtual";

    // A folder below home shows under Home; the longest place wins.
    TShellPlaces places;
    places.Home = Fixture.Path(S("a"));
    places.Volumes = QStringList { Fixture.Path(S("a/x")) };
    const TLocalShellNamespace shell(places);
    EXPECT_EQ(shell.Parse(Fixture.Path(S("a"))), TItemIdList::FromItems({ QFile::encodeName(Fixture.Path(S("a"))) }));
    EXPECT_EQ(shell.Parse(Fixture.Path(S("a/x"))).Count(), 1);
    EXPECT_EQ(shell.Parse(Fixture.Path(S("B"))).Item(0), QByteArray("/")) << "the rest under the file system";
    EXPECT_EQ(shell.PathOf(shell.Parse(Fixture.Path(S("B")))), Fixture.Path(S("B")));
    std::vector<TShellChild> top;
    ASSERT_TRUE(shell.EnumFolders(TItemIdList::Empty(), top));
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].Info.DisplayName, S("Home"));
    EXPECT_EQ(top[1].Info.DisplayName, S("File System"));
    EXPECT_EQ(top[2].Info.DisplayName, S("x"));
    EXPECT_LT(shell.Compare(TItemIdList::Empty(), top[0].Item, top[2].Item), 0) << "places keep their order";
}

TEST_F(LocalShell, HasSubFoldersStopsEarlyAndNeverLooksAtSlowMounts)
{
    EXPECT_TRUE(Shell.HasSubFolders(Fixture.Path()));
    EXPECT_TRUE(Shell.HasSubFolders(Fixture.Path(S("a"))));
    EXPECT_FALSE(Shell.HasSubFolders(Fixture.Path(S("a/x"))));
    EXPECT_FALSE(Shell.HasSubFolders(Fixture.Path(S("B"))));

    TShellPlaces places = Fixture.Places();
    places.SlowMounts = QStringList { Fixture.Path(S("B")), Fixture.Path(S("server")) };
    const TLocalShellNamespace slow(places);
    EXPECT_TRUE(slow.HasSubFolders(Fixture.Path(S("B"))));
    EXPECT_TRUE(slow.HasSubFolders(Fixture.Path(S("server/share/deep")))) << "answered without looking";
    EXPECT_TRUE(slow.Info(slow.Parse(Fixture.Path(S("B")))).HasSubFolders());
    EXPECT_FALSE(slow.HasSubFolders(Fixture.Path(S("Bee")))) << "a prefix of a name is no mount";
}

TEST_F(LocalShell, AttributesFromTheFileSystem)
{
    const uint32_t a = Shell.Info(Shell.Parse(Fixture.Path(S("a")))).Attributes;
    for (const uint32_t bit : { SfgaoFolder, SfgaoFileSystem, SfgaoHasSubFolder, SfgaoCanRename, SfgaoDropTarget })
        EXPECT_NE(a & bit, 0u) << bit;
    EXPECT_EQ(a & (SfgaoLink | SfgaoGhosted | SfgaoReadOnly), 0u);
    EXPECT_NE(Shell.Info(Shell.Parse(Fixture.Path(S("link")))).Attributes & SfgaoLink, 0u);
    EXPECT_NE(Shell.Info(Shell.Parse(Fixture.Path(S(".hidden")))).Attributes & SfgaoGhosted, 0u);
    EXPECT_EQ(Shell.Info(Shell.Parse(Fixture.Path(S("B")))).Attributes & SfgaoHasSubFolder, 0u);
    const TShellItemInfo place = Shell.Info(Shell.Parse(Fixture.Path()));
    EXPECT_EQ(place.DisplayName, S("File System"));
    EXPECT_EQ(place.Attributes & SfgaoCanDelete, 0u) << "a place is not deleted through the tree";
    const TShellItemInfo top = Shell.Info(TItemIdList::Empty());
    EXPECT_EQ(top.Icon, TShellIcon::Computer);
    EXPECT_EQ(top.Attributes & SfgaoFileSystem, 0u);

    TShellPlaces gone;
    gone.FileSystem = Fixture.Path(S("missing"));
    EXPECT_FALSE(TLocalShellNamespace(gone).Available());
    EXPECT_TRUE(Shell.Available());
}

TEST(ShellPlaces, VolumesAndSlowMountsFromTheMountTable)
{
    TShellPlaces places;
    places.AddMounts("/dev/sda1 / ext4 rw 0 0\n"
                     "/dev/sdb1 /media/u/USB\\040Stick vfat rw 0 0\n"
                     "server:/export /mnt/nas nfs4 rw 0 0\n"
                     "u@host: /home/u/remote fuse.sshfs rw 0 0\n"
                     "systemd-1 /net autofs rw 0 0\n"
                     "/dev/sdc1 /run/media/u/CARD exfat rw 0 0\n"
                     "broken line\n");
    EXPECT_EQ(places.Volumes, (QStringList { S("/media/u/USB Stick"), S("/mnt/nas"), S("/run/media/u/CARD") }));
    EXPECT_EQ(places.SlowMounts, (QStringList { S("/mnt/nas"), S("/home/u/remote"), S("/net") }));
}

} // namespace
