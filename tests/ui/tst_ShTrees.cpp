// The shell folder tree on the small fixture tree, driven as a user and its owner drive it.
#include "ui/ShTrees.h"

#include "ShellFixture.h"
#include "core/uGeneral.h"
#include "support/QtWarningGuard.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QtTest>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

// The local namespace, counting what it is asked and recording what it opens.
class TCountingShell : public TLocalShellNamespace {
public:
    using TLocalShellNamespace::TLocalShellNamespace;
    mutable int Enumerations = 0;
    mutable QStringList Opened;
    bool EnumFolders(const TItemIdList& folder, std::vector<TShellChild>& children) const override
    {
        ++Enumerations;
        return TLocalShellNamespace::EnumFolders(folder, children);
    }
    bool Open(const TItemIdList& folder) const override
    {
        Opened << PathOf(folder);
        return true;
    }
};

QStringList ChildTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

} // namespace

class TestShTrees : public QObject {
    Q_OBJECT
private slots:
    void directoryReadAndWritten()
    {
        TShellFixture fixture;
        TShellPlaces places;
        places.Home = fixture.Path();
        auto shell = std::make_unique<TCountingShell>(places);
        TCountingShell* counting = shell.get();
        TQuorShellTreeView tree(nullptr, std::move(shell));
        QLabel label;
        tree.SetDirLabel(&label);
        QCOMPARE(tree.Directory(), S("*"));
        QSignalSpy changes(&tree, &TQuorShellTreeView::DirectoryChanged);

        tree.SetDirectory(fixture.Path(S("a/x")));
        QCOMPARE(tree.Directory(), fixture.Path(S("a/x")));
        QCOMPARE(label.text(), fixture.Path(S("a/x")));
        QCOMPARE(tree.currentItem()->text(0), S("x"));
        // below home: under Home
        QCOMPARE(tree.currentItem()->parent()->parent()->text(0), S("Home"));
        QCOMPARE(changes.count(), 1);

        const int reads = counting->Enumerations;
        tree.SetDirectory(fixture.Path(S("a/x")));
        QCOMPARE(counting->Enumerations, reads);
        // the same value again changes nothing
        QCOMPARE(changes.count(), 1);

        tree.SetDirectory(fixture.Path(S("missing")));
        // a path that names no folder is ignored
        QCOMPARE(tree.Directory(), fixture.Path(S("a/x")));
        tree.SetDirectory(fixture.Path(S("f.txt")));
        QCOMPARE(tree.Directory(), fixture.Path(S("a/x")));

        tree.SetDirectory(QString());
        // empty selects the file system
        QCOMPARE(tree.Directory(), S("/"));
        QCOMPARE(tree.currentItem()->text(0), S("File System"));

        tree.SetDirectory(fixture.Path(S("link/x")));
        // a link keeps its own name
        QCOMPARE(tree.Directory(), fixture.Path(S("link/x")));

        // The user picks the top: a virtual folder.
        tree.setCurrentItem(tree.TopNode());
        QCOMPARE(tree.Directory(), S("*"));
        QCOMPARE(label.text(), S("*"));
        QVERIFY(!tree.FolderAttributes().testFlag(TFolderAttribute::faFileSystem));
        tree.setCurrentItem(tree.TopNode()->child(0));
        QVERIFY(tree.FolderAttributes().testFlag(TFolderAttribute::faFileSystem));
        QVERIFY(tree.FolderAttributes().testFlag(TFolderAttribute::faFolder));
    }

    void orderHiddenFoldersAndLeaves()
    {
        TShellFixture fixture;
        TQuorShellTreeView tree(nullptr, std::make_unique<TLocalShellNamespace>(fixture.Places()));
        tree.InitShellRoot();
        QTreeWidgetItem* top = tree.TopNode();
        QCOMPARE(top->text(0), S("Computer"));
        top->setExpanded(true);
        QCOMPARE(ChildTexts(top), QStringList { S("File System") });
        QTreeWidgetItem* files = top->child(0);
        files->setExpanded(true);
        QCOMPARE(ChildTexts(files), (QStringList { S(".hidden"), S("a"), S("B"), S("link") }));
        QTreeWidgetItem* a = files->child(1);
        QTreeWidgetItem* b = files->child(2);
        QCOMPARE(a->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        // no sub-folder, no mark
        QVERIFY(b->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator);
        a->setExpanded(true);
        QCOMPARE(ChildTexts(a), QStringList { S("x") });
        a->child(0)->setExpanded(true);
        QCOMPARE(a->child(0)->childCount(), 0);
        QVERIFY(a->child(0)->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator);

        // A folder that seemed to have sub-folders when listed but has none loses its mark once read.
        QTreeWidgetItem* hidden = files->child(0);
        QVERIFY(hidden->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator);
        QDir(fixture.Path(S("a/x"))).mkpath(S("y"));
        TQuorShellTreeView other(nullptr, std::make_unique<TLocalShellNamespace>(fixture.Places()));
        other.SetDirectory(fixture.Path(S("a")));
        QTreeWidgetItem* x = other.currentItem()->child(0);
        QCOMPARE(x->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QDir(fixture.Path(S("a/x"))).rmdir(S("y"));
        x->setExpanded(true);
        QVERIFY(x->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator);
    }

    void contextMenuNeverOnTheTop()
    {
        TShellFixture fixture;
        auto shell = std::make_unique<TCountingShell>(fixture.Places());
        TCountingShell* counting = shell.get();
        TQuorShellTreeView tree(nullptr, std::move(shell));
        tree.SetDirectory(fixture.Path(S("a")));
        bool menuShown = false;
        QTimer::singleShot(50, [&] { menuShown = QApplication::activePopupWidget() != nullptr; });
        QVERIFY(!tree.PopupContextMenu(tree.TopNode(), QPoint(10, 10)));
        QTest::qWait(100);
        QVERIFY(!menuShown);

        // On a folder the menu offers "Open", and its result says whether it ran.
        QStringList items;
        auto choose = [&](bool open) {
            QTimer::singleShot(50, [&items, open] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (!menu)
                    return;
                for (QAction* action : menu->actions())
                    items << action->text();
                if (open) {
                    menu->setActiveAction(menu->actions().first());
                    QTest::keyClick(menu, Qt::Key_Return);
                } else {
                    QTest::keyClick(menu, Qt::Key_Escape);
                }
            });
        };
        choose(true);
        QVERIFY(tree.PopupContextMenu(tree.currentItem(), QPoint(10, 10)));
        QCOMPARE(items, QStringList { S("Open") });
        QCOMPARE(counting->Opened, QStringList { fixture.Path(S("a")) });
        choose(false);
        QVERIFY(!tree.PopupContextMenu(tree.currentItem(), QPoint(10, 10)));
        QCOMPARE(counting->Opened.size(), 1);
    }

    void rootThatIsNotThere()
    {
        TShellFixture fixture;
        TShellPlaces places = fixture.Places();
        places.FileSystem = fixture.Path(S("missing"));
        TQuorShellTreeView tree(nullptr, std::make_unique<TLocalShellNamespace>(places));
        try {
            tree.InitShellRoot();
            QFAIL("no error");
        } catch (const ETarvellError& e) {
            QCOMPARE(e.Message(), S("Couldn't find folder"));
        }
        // Shown anyway, it stays empty.
        tree.show();
        QCOMPARE(tree.topLevelItemCount(), 0);
    }

    void labelGoneBeforeTheTree()
    {
        TShellFixture fixture;
        TQuorShellTreeView tree(nullptr, std::make_unique<TLocalShellNamespace>(fixture.Places()));
        {
            QLabel label;
            tree.SetDirLabel(&label);
        }
        QCOMPARE(tree.DirLabel(), nullptr);
        tree.SetDirectory(fixture.Path(S("a")));
        QCOMPARE(tree.Directory(), fixture.Path(S("a")));
    }
};

TARVELL_QTEST_MAIN(TestShTrees)
#include "tst_ShTrees.moc"
