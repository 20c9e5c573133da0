#include "app/dialog_prompt.h"
#include "app/save_export.h"
#include "app/scripted_prompt.h"

#include "compose/panel_bitmap.h"
#include "tests/support/qt_pictures.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>


using namespace fotolume::app;

namespace {

const QSize kPanel(64, 48);

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The sampling factors of the first component in a JPEG's frame header.
int LumaSampling(const QByteArray& jpeg)
{
    const int sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    return sof < 0 || sof + 11 >= jpeg.size() ? -1 : static_cast<unsigned char>(jpeg.at(sof + 11));
}

// Five panel-size cache pictures, each one flat colour. The cache names do not
// follow the album order, as after deletions.
class SaveExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* folder : {"cache", "out", "scratch"})
            QDir(m_dir.path()).mkpath(QLatin1String(folder));
        const int cacheNumbers[] = {3, 0, 4, 1, 2};
        for (int i = 0; i < 5; ++i) {
            const QString path =
                m_dir.filePath(QStringLiteral("cache/%1.bmp").arg(cacheNumbers[i], 4, 10, QLatin1Char('0')));
            ASSERT_TRUE(fotolume::compose::SavePanelBmp(
                fotolume::testsupport::SolidPicture(kPanel.width(), kPanel.height(), Colour(i)), path));
            m_cache.append(path);
        }
    }

    static QColor Colour(int position) { return QColor(40 + 50 * position, 200 - 30 * position, 90); }

    SaveJob Job(QList<int> selected = {})
    {
        SaveJob job;
        job.cachePaths = m_cache;
        job.selected = std::move(selected);
        job.panel = kPanel;
        job.prompt = &m_prompt;
        job.languageSection = QStringLiteral("English");
        job.scratchFolder = m_dir.filePath(QStringLiteral("scratch"));
        return job;
    }

    QString Out(const QString& name = {}) const
    {
        return name.isEmpty() ? m_dir.filePath(QStringLiteral("out")) : m_dir.filePath(QStringLiteral("out/") + name);
    }

    QStringList OutFiles() const { return QDir(Out()).entryList(QDir::Files, QDir::Name); }

    // Answers the format question (Yes: BMP, No: JPG) and chooses the out folder.
    void ChooseFormatAndOut(bool bmp)
    {
        bmp ? m_prompt.QueueYes() : m_prompt.QueueNo();
        m_prompt.QueueFolder(Out());
    }

    QTemporaryDir m_dir;
    QStringList m_cache;
    CScriptedPrompt m_prompt;
};

} // namespace

TEST(SaveNames, NumberedByAlbumPositionWithOneSeparator)
{
    EXPECT_EQ(SaveTargetName(QStringLiteral("/home/u/p"), 0, SaveFormat::Bmp), QStringLiteral("/home/u/p/0001.bmp"));
    EXPECT_EQ(SaveTargetName(QStringLiteral("/home/u/p/"), 11, SaveFormat::Jpg), QStringLiteral("/home/u/p/0012.jpg"));
    // The file-system root: directly in it, for both formats.
    EXPECT_EQ(SaveTargetName(QStringLiteral("/"), 4, SaveFormat::Bmp), QStringLiteral("/0005.bmp"));
    EXPECT_EQ(SaveTargetName(QStringLiteral("/"), 1, SaveFormat::Jpg), QStringLiteral("/0002.jpg"));
    EXPECT_EQ(SaveTargetName(QStringLiteral("/x"), 508, SaveFormat::Jpg), QStringLiteral("/x/0509.jpg"));
}

TEST(SaveNames, FixedTextsFollowTheLanguageSectionName)
{
    const SaveFixedTexts english = FixedSaveTexts(QStringLiteral("English"));
    EXPECT_EQ(english.saveFailed.arg(QStringLiteral("a.bmp")), QStringLiteral("Save a.bmp file failed!"));
    EXPECT_EQ(english.overwrite.arg(QStringLiteral("a.bmp")),
              QStringLiteral("File a.bmp existed, want to over write?"));
    const SaveFixedTexts chinese = FixedSaveTexts(QStringLiteral("Simplified Chinese"));
    EXPECT_EQ(chinese.saveFailed.arg(QStringLiteral("a.bmp")), QStringLiteral("保存文件 a.bmp 失败!"));
    EXPECT_EQ(chinese.overwrite.arg(QStringLiteral("a.bmp")),
              QStringLiteral("文件 a.bmp 已存在, 覆盖此文件吗?"));
}

TEST_F(SaveExport, SaveAllAsBmpCopiesEveryCacheFileByPosition)
{
    ChooseFormatAndOut(true);
    const SaveReport report = SaveAllPictures(Job());
    EXPECT_EQ(report.result, SaveResult::Saved);
    EXPECT_EQ(OutFiles(), (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.bmp"),
                                       QStringLiteral("0003.bmp"), QStringLiteral("0004.bmp"),
                                       QStringLiteral("0005.bmp")}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ReadAll(Out(QStringLiteral("000%1.bmp").arg(i + 1))), ReadAll(m_cache.at(i))) << i;
    EXPECT_EQ(m_prompt.Texts(),
              (QStringList{QStringLiteral("Want to save as BMP files, please select Yes, else if you want to save as "
                                          "JPG files, please select NO!"),
                           QStringLiteral("Choose Save Directory"), QStringLiteral("All pics were saved!")}));
    EXPECT_EQ(m_prompt.Unanswered(), 0);
}

TEST_F(SaveExport, SelectedPicturesAsJpgDecodeAndUseTheSeveralPicturesSettings)
{
    ChooseFormatAndOut(false);
    const SaveReport report = SaveSelected(Job({3, 1}));
    EXPECT_EQ(report.result, SaveResult::Saved);
    EXPECT_EQ(OutFiles(), (QStringList{QStringLiteral("0002.jpg"), QStringLiteral("0004.jpg")}));
    for (const int position : {1, 3}) {
        const QString path = Out(QStringLiteral("000%1.jpg").arg(position + 1));
        const QByteArray bytes = ReadAll(path);
        EXPECT_EQ(bytes.mid(6, 5), QByteArray("JFIF\0", 5));
        EXPECT_EQ(LumaSampling(bytes), 0x11) << "quality 90, mode 4: no subsampling";
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), QByteArray("jpeg"));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), kPanel);
        const QColor centre = image.pixelColor(kPanel.width() / 2, kPanel.height() / 2);
        EXPECT_NEAR(centre.red(), Colour(position).red(), 6);
        EXPECT_NEAR(centre.green(), Colour(position).green(), 6);
        EXPECT_NEAR(centre.blue(), Colour(position).blue(), 6);
    }
    EXPECT_EQ(m_prompt.Texts().constLast(), QStringLiteral("All pics were saved!"));
}

TEST_F(SaveExport, SaveAllAsJpgUsesFullQualityWithSubsampling)
{
    ChooseFormatAndOut(false);
    EXPECT_EQ(SaveAllPictures(Job()).result, SaveResult::Saved);
    ASSERT_EQ(OutFiles().size(), 5);
    EXPECT_EQ(LumaSampling(ReadAll(Out(QStringLiteral("0005.jpg")))), 0x22);
    EXPECT_FALSE(QImage(Out(QStringLiteral("0005.jpg"))).isNull());
}

TEST_F(SaveExport, BmpOverwriteIsAskedOnceAndYesCoversTheRest)
{
    WriteAll(Out(QStringLiteral("0002.bmp")), "old two");
    WriteAll(Out(QStringLiteral("0003.bmp")), "old three");
    ChooseFormatAndOut(true);
    m_prompt.QueueYes();
    EXPECT_EQ(SaveSelected(Job({0, 1, 2})).result, SaveResult::Saved);
    EXPECT_EQ(m_prompt.CountOf(CScriptedPrompt::Kind::YesNo), 1);
    EXPECT_TRUE(m_prompt.Texts().contains(
        QStringLiteral("File %1 existed, want to over write?").arg(Out(QStringLiteral("0002.bmp")))));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ReadAll(Out(QStringLiteral("000%1.bmp").arg(i + 1))), ReadAll(m_cache.at(i)));
    EXPECT_EQ(m_prompt.Texts().constLast(), QStringLiteral("All pics were saved!"));
}

TEST_F(SaveExport, BmpOverwriteNoEndsTheSaveWithoutTheFinalMessage)
{
    WriteAll(Out(QStringLiteral("0002.bmp")), "old two");
    ChooseFormatAndOut(true);
    m_prompt.QueueNo();
    EXPECT_EQ(SaveSelected(Job({0, 1, 2})).result, SaveResult::Cancelled);
    EXPECT_EQ(ReadAll(Out(QStringLiteral("0001.bmp"))), ReadAll(m_cache.at(0)));
    EXPECT_EQ(ReadAll(Out(QStringLiteral("0002.bmp"))), QByteArray("old two"));
    EXPECT_FALSE(QFile::exists(Out(QStringLiteral("0003.bmp"))));
    EXPECT_FALSE(m_prompt.Texts().contains(QStringLiteral("All pics were saved!")));
}

TEST_F(SaveExport, JpgOverwriteIsAskedPerFileAndNoOnlySkips)
{
    WriteAll(Out(QStringLiteral("0001.jpg")), "old one");
    WriteAll(Out(QStringLiteral("0002.jpg")), "old two");
    ChooseFormatAndOut(false);
    m_prompt.QueueNo();
    m_prompt.QueueYes();
    const SaveReport report = SaveSelected(Job({0, 1, 2}));
    EXPECT_EQ(report.result, SaveResult::Saved);
    EXPECT_EQ(m_prompt.CountOf(CScriptedPrompt::Kind::YesNo), 2);
    EXPECT_EQ(ReadAll(Out(QStringLiteral("0001.jpg"))), QByteArray("old one"));
    EXPECT_FALSE(QImage(Out(QStringLiteral("0002.jpg"))).isNull());
    EXPECT_FALSE(QImage(Out(QStringLiteral("0003.jpg"))).isNull());
    EXPECT_EQ(report.written.size(), 2);
    EXPECT_EQ(m_prompt.Texts().constLast(), QStringLiteral("All pics were saved!"));
}

TEST_F(SaveExport, ChineseSectionAsksTheOverwriteQuestionInChinese)
{
    WriteAll(Out(QStringLiteral("0001.bmp")), "old");
    SaveJob job = Job();
    job.languageSection = QStringLiteral("Chinese");
    ChooseFormatAndOut(true);
    m_prompt.QueueYes();
    EXPECT_EQ(SaveAllPictures(job).result, SaveResult::Saved);
    const QString question = QStringLiteral("文件 %1 已存在, 覆盖此文件吗?").arg(Out(QStringLiteral("0001.bmp")));
    EXPECT_TRUE(m_prompt.Texts().contains(question));
}

TEST_F(SaveExport, NothingToSave)
{
    EXPECT_EQ(SaveSelected(Job()).result, SaveResult::NothingToSave);
    EXPECT_EQ(m_prompt.Texts(), QStringList{QStringLiteral("You should select one pic at least!")});
    m_prompt.Clear();
    SaveJob empty = Job();
    empty.cachePaths.clear();
    EXPECT_EQ(SaveAllPictures(empty).result, SaveResult::NothingToSave);
    EXPECT_TRUE(m_prompt.History().isEmpty());
}

TEST_F(SaveExport, CancelAtEachStepWritesNothing)
{
    m_prompt.QueueCancel();
    EXPECT_EQ(SaveAllPictures(Job()).result, SaveResult::Cancelled);
    m_prompt.QueueYes();
    m_prompt.QueueFolder({});
    EXPECT_EQ(SaveAllPictures(Job()).result, SaveResult::Cancelled);
    m_prompt.QueueSaveFile({});
    EXPECT_EQ(SaveSelected(Job({2})).result, SaveResult::Cancelled);
    EXPECT_TRUE(OutFiles().isEmpty());
    EXPECT_EQ(m_prompt.CountOf(CScriptedPrompt::Kind::Message), 0);
}

TEST_F(SaveExport, OnePictureGoesThroughTheSaveDialog)
{
    m_prompt.QueueSaveFile(Out(QStringLiteral("picture.BMP")));
    EXPECT_EQ(SaveSelected(Job({2})).result, SaveResult::Saved);
    EXPECT_EQ(ReadAll(Out(QStringLiteral("picture.BMP"))), ReadAll(m_cache.at(2)));
    const IPrompt::SaveFileRequest& request = m_prompt.LastSaveRequest();
    EXPECT_EQ(request.defaultExtension, QStringLiteral("BMP"));
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_TRUE(request.filter.startsWith(QStringLiteral("bmp files (*.BMP")));
    EXPECT_TRUE(request.filter.contains(QStringLiteral("jpg files (*.JPG")));

    m_prompt.QueueSaveFile(Out(QStringLiteral("picture.jpeg")));
    EXPECT_EQ(SaveSelected(Job({4})).result, SaveResult::Saved);
    const QByteArray jpeg = ReadAll(Out(QStringLiteral("picture.jpeg")));
    EXPECT_EQ(LumaSampling(jpeg), 0x22) << "quality 100, mode 3";
    EXPECT_EQ(QImage::fromData(jpeg).size(), kPanel);
    // No final message for a single picture.
    EXPECT_EQ(m_prompt.CountOf(CScriptedPrompt::Kind::Message), 0);
}

TEST_F(SaveExport, AFailedSaveSaysSoAndKeepsTheOldFile)
{
    // The cache file has gone: the copy fails before the target is touched.
    WriteAll(Out(QStringLiteral("keep.bmp")), "old");
    QFile::remove(m_cache.at(1));
    m_prompt.QueueSaveFile(Out(QStringLiteral("keep.bmp")));
    EXPECT_EQ(SaveSelected(Job({1})).result, SaveResult::Failed);
    EXPECT_EQ(ReadAll(Out(QStringLiteral("keep.bmp"))), QByteArray("old"));
    EXPECT_EQ(m_prompt.Texts().constLast(),
              QStringLiteral("Save %1 file failed!").arg(Out(QStringLiteral("keep.bmp"))));
    EXPECT_EQ(m_prompt.History().constLast().icon, IPrompt::Icon::None);

    // A position without a cache entry cannot be saved at all.
    m_prompt.Clear();
    EXPECT_EQ(SaveSelected(Job({7})).result, SaveResult::Failed);
    EXPECT_EQ(m_prompt.Texts(), QStringList{QStringLiteral("Cannot save this picture!")});
}

TEST_F(SaveExport, FolderSaveFailuresEndTheCommandWithTheMessage)
{
    // A folder in the way of 0001.bmp.
    QDir(Out()).mkdir(QStringLiteral("0001.bmp"));
    ChooseFormatAndOut(true);
    m_prompt.QueueYes();
    EXPECT_EQ(SaveAllPictures(Job()).result, SaveResult::Failed);
    const CScriptedPrompt::Asked last = m_prompt.History().constLast();
    EXPECT_EQ(last.text, QStringLiteral("cannot save in this file,please choose other path!"));
    EXPECT_EQ(last.caption, QStringLiteral("Message"));
    EXPECT_EQ(last.icon, IPrompt::Icon::Exclamation);
    EXPECT_FALSE(QFile::exists(Out(QStringLiteral("0002.bmp"))));

    // A JPEG that cannot be encoded is reported too, not counted as saved.
    m_prompt.Clear();
    SaveJob job = Job({0, 1});
    job.panel = QSize();
    ChooseFormatAndOut(false);
    EXPECT_EQ(SaveSelected(job).result, SaveResult::Failed);
    EXPECT_FALSE(QFile::exists(Out(QStringLiteral("0001.jpg"))));
    EXPECT_FALSE(m_prompt.Texts().contains(QStringLiteral("All pics were saved!")));

    // A chosen place that is no folder.
    m_prompt.Clear();
    m_prompt.QueueYes();
    m_prompt.QueueFolder(m_cache.at(0));
    EXPECT_EQ(SaveAllPictures(Job()).result, SaveResult::Failed);
    EXPECT_EQ(m_prompt.History().constLast().caption, QStringLiteral("Message"));
}

TEST_F(SaveExport, AFrameRemovedDuringASaveStopsAtTheNextPicture)
{
    int asked = 0;
    SaveJob job = Job();
    job.frameAttached = [&asked] { return ++asked <= 2; };
    ChooseFormatAndOut(true);
    EXPECT_EQ(SaveAllPictures(job).result, SaveResult::FrameGone);
    EXPECT_EQ(OutFiles(), (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.bmp")}));
    EXPECT_FALSE(m_prompt.Texts().contains(QStringLiteral("All pics were saved!")));

    // One picture: a frame gone while the dialog was open saves nothing.
    SaveJob one = Job({0});
    one.frameAttached = [] { return false; };
    m_prompt.QueueSaveFile(Out(QStringLiteral("one.bmp")));
    EXPECT_EQ(SaveSelected(one).result, SaveResult::FrameGone);
    EXPECT_FALSE(QFile::exists(Out(QStringLiteral("one.bmp"))));
}

TEST_F(SaveExport, SaveDialogNamesTakeTheExtensionOfTheChosenFilter)
{
    CDialogPrompt prompt;
    IPrompt::SaveFileRequest request;
    request.defaultExtension = QStringLiteral("BMP");
    request.filter = QStringLiteral("bmp files (*.BMP *.bmp);;jpg files (*.JPG *.jpg)");
    auto answer = [this](const QString& filter) {
        QTimer::singleShot(0, qApp, [this, filter] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(Out());
            if (!filter.isEmpty())
                dialog->selectNameFilter(filter);
            dialog->selectFile(QStringLiteral("picture"));
            static_cast<QDialog*>(dialog)->accept();
        });
    };
    answer({});
    EXPECT_EQ(prompt.AskSaveFile(request), Out(QStringLiteral("picture.BMP")));
    answer(QStringLiteral("jpg files (*.JPG *.jpg)"));
    EXPECT_EQ(prompt.AskSaveFile(request), Out(QStringLiteral("picture.JPG")));
}
