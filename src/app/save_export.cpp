#include "app/save_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <algorithm>

#include "app/app_folders.h"
#include "codec/picture_files.h"

namespace fotolume::app {

namespace {

const char kCannotSave[] = "cannot save in this file,please choose other path!";

struct Saver {
    const SaveJob& job;
    SaveFixedTexts fixed;

    QString Text(const char* key, const char* def) const {
        return job.lookup ? job.lookup(key, def) : QString::fromUtf8(def);
    }

    bool Attached() const { return !job.frameAttached || job.frameAttached(); }

    QString Source(int position) const {
        return position >= 0 && position < job.cachePaths.size() ? job.cachePaths.at(position) : QString();
    }

    void CannotSaveHere() const {
        job.prompt->Message(QString::fromUtf8(kCannotSave), QStringLiteral("Message"), IPrompt::Icon::Exclamation);
    }

    bool Write(int position, const QString& target, SaveFormat format, JpegSettings jpeg) const {
        const QString source = Source(position);
        if (source.isEmpty()) return false;
        if (format == SaveFormat::Bmp) return CopyFileOver(source, target);
        return SaveAsJpeg(source, target, job.panel, jpeg, job.scratchFolder);
    }

    SaveReport SaveOne(int position) const;
    SaveReport SaveInFolder(const QList<int>& positions, JpegSettings jpeg) const;
};

SaveReport Saver::SaveOne(int position) const {
    SaveReport report;
    if (Source(position).isEmpty()) {
        job.prompt->Message(Text("SAVE_TIPS_3", "Cannot save this picture!"));
        report.result = SaveResult::Failed;
        return report;
    }
    IPrompt::SaveFileRequest request;
    request.defaultExtension = QStringLiteral("BMP");
    request.filter = QStringLiteral("bmp files (*.BMP *.bmp);;jpg files (*.JPG *.jpg)");
    request.overwritePrompt = true;
    const QString target = job.prompt->AskSaveFile(request);
    if (target.isEmpty()) {
        report.result = SaveResult::Cancelled;
        return report;
    }
    if (!Attached()) {
        report.result = SaveResult::FrameGone;
        return report;
    }
    const SaveFormat format =
        QFileInfo(target).suffix().toLower() == QStringLiteral("bmp") ? SaveFormat::Bmp : SaveFormat::Jpg;
    if (!Write(position, target, format, kSaveOneJpeg)) {
        job.prompt->Message(fixed.saveFailed.arg(target));
        report.result = SaveResult::Failed;
        return report;
    }
    report.written.append(target);
    report.result = SaveResult::Saved;
    return report;
}

SaveReport Saver::SaveInFolder(const QList<int>& positions, JpegSettings jpeg) const {
    SaveReport report;
    const IPrompt::Answer kind = job.prompt->AskYesNoCancel(
        Text("SAVE_TIPS_2",
             "Want to save as BMP files, please select Yes, else if you want to save as JPG files, please select NO!"));
    if (kind == IPrompt::Answer::Cancel) {
        report.result = SaveResult::Cancelled;
        return report;
    }
    const SaveFormat format = kind == IPrompt::Answer::Yes ? SaveFormat::Bmp : SaveFormat::Jpg;

    const QString folder = job.prompt->AskFolder(Text("SAVEDIR_TIPS", "Choose Save Directory"));
    if (folder.isEmpty()) {
        report.result = SaveResult::Cancelled;
        return report;
    }
    if (!QFileInfo(folder).isDir()) {
        CannotSaveHere();
        report.result = SaveResult::Failed;
        return report;
    }

    // BMP: one overwrite question covers the whole command and No ends it.
    // JPG: every existing file is asked about and No skips only that file.
    bool overwriteAsked = false;
    for (const int position : positions) {
        if (!Attached()) {
            report.result = SaveResult::FrameGone;
            return report;
        }
        const QString target = SaveTargetName(folder, position, format);
        if (QFileInfo::exists(target)) {
            if (format == SaveFormat::Bmp) {
                if (!overwriteAsked) {
                    overwriteAsked = true;
                    if (!job.prompt->AskYesNo(fixed.overwrite.arg(target))) {
                        report.result = SaveResult::Cancelled;
                        return report;
                    }
                }
            } else if (!job.prompt->AskYesNo(fixed.overwrite.arg(target))) {
                continue;
            }
        }
        if (!Write(position, target, format, jpeg)) {
            CannotSaveHere();
            report.result = SaveResult::Failed;
            return report;
        }
        report.written.append(target);
    }
    job.prompt->Message(Text("SAVEPICFINISH_TIPS", "All pics were saved!"));
    report.result = SaveResult::Saved;
    return report;
}

}  // namespace

SaveFixedTexts FixedSaveTexts(const QString& languageSection) {
    if (languageSection.contains(QStringLiteral("Chinese")))
        return {QStringLiteral("保存文件 %1 失败!"), QStringLiteral("文件 %1 已存在, 覆盖此文件吗?")};
    return {QStringLiteral("Save %1 file failed!"), QStringLiteral("File %1 existed, want to over write?")};
}

QString SaveTargetName(const QString& folder, int position, SaveFormat format) {
    const QString name = QStringLiteral("%1.%2")
                             .arg(position + 1, 4, 10, QLatin1Char('0'))
                             .arg(format == SaveFormat::Bmp ? QStringLiteral("bmp") : QStringLiteral("jpg"));
    if (folder.endsWith(QLatin1Char('/'))) return folder + name;
    return folder + QLatin1Char('/') + name;
}

bool CopyFileOver(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QSaveFile out(target);
    // A folder that takes no new files may still let an existing one be rewritten.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly)) return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0) {
            out.cancelWriting();
            return false;
        }
        if (got == 0) break;
        if (out.write(buffer, got) != got) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

bool SaveAsJpeg(const QString& source, const QString& target, QSize panel, JpegSettings settings,
                const QString& scratchFolder) {
    if (panel.isEmpty()) return false;
    QString folder = scratchFolder.isEmpty() ? PrivateTempFolder() : scratchFolder;
    if (folder.isEmpty()) return false;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    // The encoder writes a file of its own; it goes to the scratch folder
    // first and then over the target in one step.
    QTemporaryFile scratch(folder + QStringLiteral("SaveJPG-XXXXXX.jpg"));
    if (!scratch.open()) return false;
    scratch.close();
    const std::size_t bytes = codec::CKv318Encoder::EnCode(
        QFile::encodeName(source).toStdString(), QFile::encodeName(scratch.fileName()).toStdString(), panel.width(),
        panel.height(), settings.quality, settings.mode, true);
    if (bytes == 0) return false;
    return CopyFileOver(scratch.fileName(), target);
}

SaveReport SaveSelected(const SaveJob& job) {
    const Saver saver{job, FixedSaveTexts(job.languageSection)};
    if (job.selected.isEmpty()) {
        job.prompt->Message(saver.Text("SAVE_TIPS_1", "You should select one pic at least!"));
        return {};
    }
    if (job.selected.size() == 1) return saver.SaveOne(job.selected.constFirst());
    QList<int> positions;
    for (const int position : job.selected) {
        if (!saver.Source(position).isEmpty()) positions.append(position);
    }
    if (positions.isEmpty()) {
        job.prompt->Message(saver.Text("SAVE_TIPS_3", "Cannot save this picture!"));
        return {SaveResult::Failed, {}};
    }
    std::sort(positions.begin(), positions.end());
    return saver.SaveInFolder(positions, kSaveSeveralJpeg);
}

SaveReport SaveAllPictures(const SaveJob& job) {
    if (job.cachePaths.isEmpty()) return {};
    const Saver saver{job, FixedSaveTexts(job.languageSection)};
    QList<int> positions;
    for (int i = 0; i < job.cachePaths.size(); ++i) {
        if (!job.cachePaths.at(i).isEmpty()) positions.append(i);
    }
    if (positions.isEmpty()) return {};
    return saver.SaveInFolder(positions, kSaveAllJpeg);
}

}  // namespace fotolume::app
