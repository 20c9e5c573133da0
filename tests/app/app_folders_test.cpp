#include "app/app_folders.h"
#include "tests/app/app_harness.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace fotolume::app;
using fotolume::apptest::Touch;

TEST(AppFolders, ScratchFolderIsPrivateAndUnderTheCacheHome)
{
    const QString folder = PrivateTempFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.endsWith(QStringLiteral("/fotolume/")));
    EXPECT_TRUE(folder.startsWith(QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"))));
    const QFileDevice::Permissions perms = QFileInfo(folder).permissions();
    EXPECT_TRUE(perms.testFlag(QFileDevice::ReadOwner));
    EXPECT_FALSE(perms.testFlag(QFileDevice::ReadGroup));
    EXPECT_FALSE(perms.testFlag(QFileDevice::ReadOther));
    EXPECT_FALSE(perms.testFlag(QFileDevice::ExeOther));

    const QString cache = PictureCacheFolder(folder);
    EXPECT_EQ(cache, folder + QStringLiteral("PicsInDeziDAR/"));
    EXPECT_TRUE(QFileInfo(cache).isDir());
}

TEST(AppFolders, NextCacheNameFillsTheFirstGap)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cache = PictureCacheFolder(dir.path());
    EXPECT_EQ(NextCachePath(cache), cache + QStringLiteral("0000.bmp"));
    Touch(cache + QStringLiteral("0000.bmp"));
    Touch(cache + QStringLiteral("0002.bmp"));
    EXPECT_EQ(NextCachePath(cache), cache + QStringLiteral("0001.bmp"));
    Touch(cache + QStringLiteral("0001.bmp"));
    EXPECT_EQ(NextCachePath(cache), cache + QStringLiteral("0003.bmp"));
}

TEST(AppFolders, CleanUpsRemoveOnlyTheirOwnFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString temp = dir.path() + QStringLiteral("/");
    const QString cache = PictureCacheFolder(temp);
    Touch(cache + QStringLiteral("0000.bmp"));
    Touch(cache + QStringLiteral("0001.BMP"));
    Touch(cache + QStringLiteral("keep.txt"));
    QDir().mkpath(cache + QStringLiteral("inner.bmp"));
    EXPECT_EQ(CleanPictureCache(cache), 2);
    EXPECT_EQ(QDir(cache).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("inner.bmp"), QStringLiteral("keep.txt")}));

    for (const char* name : {"ForCut.bmp", "ForShow.bmp", "ForShowBMP.bmp", "JPGTmp.jpg"})
        Touch(temp + QString::fromLatin1(name));
    CleanTemporaryFiles(temp);
    EXPECT_EQ(QDir(temp).entryList(QDir::Files), QStringList{QStringLiteral("JPGTmp.jpg")});
    EXPECT_EQ(CleanPictureCache(QString()), 0);
}
