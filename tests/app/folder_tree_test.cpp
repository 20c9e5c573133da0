#include "app/folder_tree_ctrl.h"
#include "tests/app/app_harness.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using fotolume::app::CFolderTreeCtrl;
using fotolume::apptest::Touch;

namespace {

QStringList Captions(const QTreeWidgetItem* item)
{
    QStringList captions;
    for (int i = 0; i < item->childCount(); ++i)
        captions.append(item->child(i)->text(0));
    return captions;
}

// A tree whose computer holds one "drive": a temporary folder.
class FolderTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path() + QStringLiteral("/drive");
        QDir().mkpath(m_root + QStringLiteral("/pics/Sub"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/Desktop"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/Pictures"));
        m_tree.SetComputerRoots({m_root});
        m_tree.SetSpecialFolders(m_dir.path() + QStringLiteral("/Desktop"),
                                 m_dir.path() + QStringLiteral("/Pictures"));
        m_tree.BuildRoots();
    }

    QTreeWidgetItem* Drive()
    {
        m_tree.expandItem(m_tree.ComputerRoot());
        return m_tree.ComputerRoot()->child(0);
    }

    // Expands the drive and the folder "pics" on it.
    QTreeWidgetItem* Pics()
    {
        QTreeWidgetItem* drive = Drive();
        m_tree.expandItem(drive);
        QTreeWidgetItem* pics = CFolderTreeCtrl::FindChild(drive, QStringLiteral("pics"));
        m_tree.expandItem(pics);
        return pics;
    }

    QString Pic(const char* name) const { return m_root + QStringLiteral("/pics/") + QString::fromUtf8(name); }

    void TouchPics(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            Touch(Pic(name));
    }

    QTemporaryDir m_dir;
    QString m_root;
    CFolderTreeCtrl m_tree;
};

} // namespace

TEST_F(FolderTree, RootsAreComputerDesktopAndPicturesWithPlaceholders)
{
    ASSERT_EQ(m_tree.topLevelItemCount(), 3);
    EXPECT_EQ(m_tree.topLevelItem(0), m_tree.ComputerRoot());
    EXPECT_EQ(m_tree.topLevelItem(1), m_tree.DesktopRoot());
    EXPECT_EQ(m_tree.topLevelItem(2), m_tree.PicturesRoot());
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(m_tree.topLevelItem(i)->childCount(), 1);
        EXPECT_TRUE(m_tree.topLevelItem(i)->child(0)->text(0).isEmpty());
    }
    // Before the language is applied the folder roots show their folder names.
    EXPECT_EQ(m_tree.DesktopRoot()->text(0), QStringLiteral("Desktop"));

    EXPECT_EQ(m_tree.GetItemPath(m_tree.ComputerRoot()), QString());
    EXPECT_EQ(m_tree.GetItemPath(m_tree.DesktopRoot()), m_dir.path() + QStringLiteral("/Desktop/"));
    EXPECT_EQ(m_tree.GetItemPath(m_tree.PicturesRoot(), QStringLiteral("a.gif")),
              m_dir.path() + QStringLiteral("/Pictures/a.gif"));
}

TEST_F(FolderTree, CaptionsComeFromTheLanguageAndPathsDoNotDependOnThem)
{
    m_tree.SetRootCaptions([](const char* key, const char* def) {
        if (qstrcmp(key, "MY_COMPUTER") == 0)
            return QStringLiteral("Arbeitsplatz");
        if (qstrcmp(key, "DESK_TOP") == 0)
            return QStringLiteral("Schreibtisch");
        return QString::fromUtf8(def);
    });
    EXPECT_EQ(m_tree.ComputerRoot()->text(0), QStringLiteral("Arbeitsplatz"));
    EXPECT_EQ(m_tree.DesktopRoot()->text(0), QStringLiteral("Schreibtisch"));
    EXPECT_EQ(m_tree.PicturesRoot()->text(0), QStringLiteral("My Picture"));
    EXPECT_EQ(m_tree.GetItemPath(m_tree.DesktopRoot()), m_dir.path() + QStringLiteral("/Desktop/"));
}

TEST_F(FolderTree, FolderShowsSubfoldersThenPicturesSortedIgnoringCase)
{
    TouchPics({"b.JPG", "a.gif", "c.png", "notes.txt"});
    QTreeWidgetItem* pics = Pics();
    EXPECT_EQ(Captions(pics), (QStringList{QStringLiteral("Sub"), QStringLiteral("a.gif"), QStringLiteral("b.JPG")}));

    QTreeWidgetItem* sub = pics->child(0);
    EXPECT_EQ(CFolderTreeCtrl::GetItemKind(sub), CFolderTreeCtrl::ItemKind::Folder);
    ASSERT_EQ(sub->childCount(), 1); // the expand button's placeholder
    EXPECT_TRUE(sub->child(0)->text(0).isEmpty());
    EXPECT_EQ(pics->child(1)->childCount(), 0);
    EXPECT_EQ(pics->child(2)->childCount(), 0);
}

TEST_F(FolderTree, TheLastFourCharactersDecideWhichFilesShow)
{
    TouchPics({"photo.jpeg", "xjpeg", "SHOT.JPEG", "pic.bmp", "x.jpe", "a.jpg.txt", "gif"});
    QTreeWidgetItem* pics = Pics();
    EXPECT_EQ(Captions(pics), (QStringList{QStringLiteral("Sub"), QStringLiteral("photo.jpeg"),
                                           QStringLiteral("pic.bmp"), QStringLiteral("SHOT.JPEG"),
                                           QStringLiteral("xjpeg")}));
}

TEST_F(FolderTree, ReExpandingReadsTheDiskAgain)
{
    Touch(Pic("a.gif"));
    QTreeWidgetItem* pics = Pics();
    EXPECT_EQ(Captions(pics).size(), 2);

    m_tree.collapseItem(pics);
    ASSERT_EQ(pics->childCount(), 1);
    EXPECT_TRUE(pics->child(0)->text(0).isEmpty());

    Touch(Pic("new.jpg"));
    m_tree.expandItem(pics);
    EXPECT_EQ(Captions(pics),
              (QStringList{QStringLiteral("Sub"), QStringLiteral("a.gif"), QStringLiteral("new.jpg")}));
}

TEST_F(FolderTree, AFolderGoneFromDiskExpandsToNothing)
{
    QTreeWidgetItem* pics = Pics();
    QTreeWidgetItem* sub = pics->child(0);
    ASSERT_TRUE(QDir(m_root + QStringLiteral("/pics/Sub")).removeRecursively());
    m_tree.expandItem(sub);
    EXPECT_EQ(sub->childCount(), 0);
    // An expanded folder without children is still a folder.
    EXPECT_EQ(m_tree.GetItemPath(sub), m_root + QStringLiteral("/pics/Sub/"));
}

TEST_F(FolderTree, PathsOfFilesAndFoldersUnderARoot)
{
    Touch(m_root + QStringLiteral("/top.jpg"));
    Touch(Pic("a.gif"));
    QTreeWidgetItem* drive = Drive();
    EXPECT_EQ(m_tree.GetItemPath(drive), m_root + QStringLiteral("/"));
    m_tree.expandItem(drive);
    QTreeWidgetItem* top = CFolderTreeCtrl::FindChild(drive, QStringLiteral("top.jpg"));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(m_tree.GetItemFolder(top), m_root + QStringLiteral("/"));
    EXPECT_EQ(m_tree.GetItemFullPath(top), m_root + QStringLiteral("/top.jpg"));

    QTreeWidgetItem* pics = CFolderTreeCtrl::FindChild(drive, QStringLiteral("pics"));
    m_tree.expandItem(pics);
    EXPECT_EQ(m_tree.GetItemFolder(pics), m_root + QStringLiteral("/pics/"));
    QTreeWidgetItem* gif = CFolderTreeCtrl::FindChild(pics, QStringLiteral("a.gif"));
    EXPECT_EQ(m_tree.GetItemFullPath(gif), Pic("a.gif"));
    EXPECT_EQ(m_tree.GetItemPath(pics->child(0), QStringLiteral("x.bmp")),
              m_root + QStringLiteral("/pics/Sub/x.bmp"));
    // A placeholder has no folder.
    EXPECT_EQ(m_tree.GetItemFolder(pics->child(0)->child(0)), QString());
    EXPECT_EQ(m_tree.GetItemFolder(nullptr), QString());
}

TEST(FolderTreeSorting, EqualNamesKeepTheirArrivalOrder)
{
    QStringList sorted;
    for (const char* path : {"/p/c.gif", "/p/B.gif", "/p/a.gif", "/p/b.gif", "/p/A.gif"})
        CFolderTreeCtrl::InsertSorted(sorted, QString::fromUtf8(path));
    EXPECT_EQ(sorted, (QStringList{QStringLiteral("/p/a.gif"), QStringLiteral("/p/A.gif"),
                                   QStringLiteral("/p/B.gif"), QStringLiteral("/p/b.gif"),
                                   QStringLiteral("/p/c.gif")}));
}

TEST_F(FolderTree, SelectingAPictureReportsItsFullPath)
{
    TouchPics({"a.gif", "xjpeg"});
    QTreeWidgetItem* pics = Pics();
    QSignalSpy chosen(&m_tree, &CFolderTreeCtrl::pictureChosen);

    m_tree.setCurrentItem(CFolderTreeCtrl::FindChild(pics, QStringLiteral("a.gif")));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), Pic("a.gif"));
    EXPECT_EQ(m_tree.SourceItem(), CFolderTreeCtrl::FindChild(pics, QStringLiteral("a.gif")));

    // Folders and files the window cannot preview are not reported.
    m_tree.setCurrentItem(pics->child(0));
    m_tree.setCurrentItem(CFolderTreeCtrl::FindChild(pics, QStringLiteral("xjpeg")));
    EXPECT_EQ(chosen.count(), 1);
}

TEST_F(FolderTree, AdvanceMovesToTheNextPictureAndWrapsOnlyFromTheLast)
{
    TouchPics({"a.gif", "b.jpg", "c.bmp"});
    QTreeWidgetItem* pics = Pics();
    QTreeWidgetItem* a = CFolderTreeCtrl::FindChild(pics, QStringLiteral("a.gif"));
    QTreeWidgetItem* c = CFolderTreeCtrl::FindChild(pics, QStringLiteral("c.bmp"));

    m_tree.setCurrentItem(a);
    EXPECT_TRUE(m_tree.SelectNextPicture());
    EXPECT_EQ(m_tree.currentItem()->text(0), QStringLiteral("b.jpg"));
    m_tree.setCurrentItem(c);
    // The last picture wraps to the folder's first child and walks past Sub.
    EXPECT_TRUE(m_tree.SelectNextPicture());
    EXPECT_EQ(m_tree.currentItem(), a);
}

TEST_F(FolderTree, AdvanceClearsTheSelectionWhenNoPictureFollows)
{
    TouchPics({"a.gif", "xjpeg"}); // shown, but not a picture the window previews
    QTreeWidgetItem* pics = Pics();
    m_tree.setCurrentItem(CFolderTreeCtrl::FindChild(pics, QStringLiteral("a.gif")));
    EXPECT_FALSE(m_tree.SelectNextPicture());
    EXPECT_EQ(m_tree.currentItem(), nullptr);
    EXPECT_TRUE(m_tree.selectedItems().isEmpty());
}

// A double-click as the user makes it: a click, then the double-click.
void DoubleClick(QTreeWidget& tree, QTreeWidgetItem* item)
{
    tree.scrollToItem(item);
    const QPoint at = tree.visualItemRect(item).center();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
}

TEST_F(FolderTree, DoubleClickAddsPicturesAndExpandsFolders)
{
    TouchPics({"a.gif", "c.png"});
    m_tree.resize(400, 400);
    m_tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_tree));
    QTreeWidgetItem* pics = Pics();
    QSignalSpy add(&m_tree, &CFolderTreeCtrl::addRequested);

    QTreeWidgetItem* gif = CFolderTreeCtrl::FindChild(pics, QStringLiteral("a.gif"));
    DoubleClick(m_tree, gif);
    ASSERT_EQ(add.count(), 1);
    EXPECT_EQ(add.at(0).at(0).toString(), Pic("a.gif"));

    QTreeWidgetItem* sub = pics->child(0);
    DoubleClick(m_tree, sub);
    EXPECT_EQ(add.count(), 1);
    EXPECT_TRUE(sub->isExpanded());

    // A right click neither selects nor opens anything.
    QTreeWidgetItem* before = m_tree.currentItem();
    QTest::mouseClick(m_tree.viewport(), Qt::RightButton, {}, m_tree.visualItemRect(gif).center());
    EXPECT_EQ(m_tree.currentItem(), before);
}

TEST(FolderTreeRules, AddCaptionsAndPreviewPaths)
{
    EXPECT_TRUE(CFolderTreeCtrl::IsAddCaption(QStringLiteral("x.PNG")));
    EXPECT_TRUE(CFolderTreeCtrl::IsAddCaption(QStringLiteral("x.tif")));
    EXPECT_TRUE(CFolderTreeCtrl::IsAddCaption(QStringLiteral("x.jpeg")));
    EXPECT_FALSE(CFolderTreeCtrl::IsAddCaption(QStringLiteral("Sub")));
    EXPECT_FALSE(CFolderTreeCtrl::IsAddCaption(QStringLiteral("xjpeg")));
    EXPECT_TRUE(CFolderTreeCtrl::IsPreviewPath(QStringLiteral("/a/B.GIF")));
    EXPECT_FALSE(CFolderTreeCtrl::IsPreviewPath(QStringLiteral("/a/b.png")));
}
