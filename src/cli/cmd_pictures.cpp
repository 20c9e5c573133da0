// Picture commands: add pictures from files, composed for the panel as the preview shows them right
// after loading; pull every picture back into numbered files.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QLoggingCategory>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/album_session.h"
#include "cli/commands.h"
#include "cli/frame_open.h"
#include "codec/bmp_file.h"
#include "codec/input_file.h"
#include "codec/picture_files.h"
#include "codec/stream_decoder.h"
#include "compose/composition.h"
#include "compose/picture_loader.h"
#include "config/file_ops.h"
#include "config/folders.h"
#include "config/settings.h"
#include "pictures/panel_add.h"

namespace fotolume::cli {

namespace {

namespace fs = std::filesystem;
using album::AddStatus;

bool ParseSigned(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

struct AddArgs {
    std::vector<std::string> files;
    std::vector<bool> rotations;  // true: a quarter turn left
    bool stretch = false;
    int zoom = 0;                 // zoom steps, in when positive
    int quality = 0;              // 0: the configured quality
};

bool ParseAddArgs(const std::vector<std::string>& args, AddArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--stretch") {
            out.stretch = true;
        } else if (a == "--rotate" && hasValue) {
            const std::string& way = args[++i];
            if (way != "left" && way != "right") {
                PrintError("--rotate wants left or right, not '" + way + "'");
                return false;
            }
            out.rotations.push_back(way == "left");
        } else if (a == "--zoom" && hasValue) {
            if (!ParseSigned(args[++i], -50, 50, out.zoom)) {
                PrintError("--zoom wants a number of steps from -50 (out) to 50 (in), not '" + args[i] + "'");
                return false;
            }
        } else if (a == "--quality" && hasValue) {
            if (!ParseSigned(args[++i], 1, 100, out.quality)) {
                PrintError("--quality wants a number from 1 to 100, not '" + args[i] + "'");
                return false;
            }
        } else if (a.rfind("--", 0) == 0) {
            PrintError("unknown or incomplete option " + a);
            return false;
        } else {
            out.files.push_back(a);
        }
    }
    if (out.files.empty()) {
        PrintError("add wants at least one picture file");
        return false;
    }
    if (out.stretch && out.zoom != 0) {
        PrintError("--zoom moves the picture under the rectangle; with --stretch there is none");
        return false;
    }
    return true;
}

// The quality of the first try: JpgQuality of the shipped settings, 90 without it. A value outside
// 1 to 100 is taken as the nearer end, so that at least one quality step is tried.
int ConfiguredQuality() {
    const fs::path file = config::FotolumeProgramFolder() / config::kSettingsFileName;
    const int q = config::ReadSetting(file, "JpgQuality", config::kDefaultJpgQuality);
    return std::clamp(q, 1, 100);
}

// Picture files are read whole before they are decoded; a larger file is not a picture for a frame.
constexpr std::uintmax_t kMaxPictureFile = 256u << 20;

// The file as the preview shows it right after loading, then turned and zoomed as the buttons do.
// zoomDone: the zoom steps taken before one was refused. The file is opened by its name's bytes, so any
// name the system accepts works; a FIFO or a device is refused at once. Null with why set when the file
// cannot be used; warning set when it is used although it stops inside the picture.
QImage ComposeFile(const std::string& file, QSize panel, const AddArgs& a, int& zoomDone, std::string& why,
                   std::string& warning) {
    std::vector<std::uint8_t> bytes;
    if (!codec::ReadInputFile(file, kMaxPictureFile, bytes, &why)) return {};
    const codec::PictureFileCheck check = codec::CheckPictureFileEnd(bytes);
    const bool early = check.end == codec::PictureFileEnd::EndsEarly;
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const QImage work = compose::LoadWorkBitmap(buffer);
    if (work.isNull()) {
        why = early ? "ends early and cannot be read as a picture" : "cannot be read as a picture";
        return {};
    }
    if (early) {
        // The reader leaves the rows a BMP file lacks black, the blocks a JPEG file lacks grey.
        const bool jpeg = std::string(check.format) == "JPEG";
        warning = std::string("ends early; its missing part is ") + (jpeg ? "grey" : "black");
    }

    compose::CComposition composition(compose::CComposition::ClientSizeFor(panel));
    composition.SetRectSize(panel.width(), panel.height());
    composition.SetRectMode(!a.stretch);
    if (!composition.SetPictureImage(work, QString::fromLocal8Bit(file))) {
        why = "cannot be composed for this frame";
        return {};
    }
    for (bool left : a.rotations) composition.Rotate(left);
    zoomDone = 0;
    const int direction = a.zoom > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(a.zoom) && composition.Zoom(direction); ++i) ++zoomDone;
    return composition.GetCropBitmap();
}

std::string RefusalText(const album::AddResult& r) {
    switch (r.status) {
        case AddStatus::AlbumFull:
            return "the album is full (no room for another picture)";
        case AddStatus::TooLarge:
            return "too large: " + std::to_string(r.bytes) + " bytes even at quality " + std::to_string(r.quality) +
                   ", " + std::to_string(r.freeSpace) + " bytes free for one picture";
        case AddStatus::Refused:
            return "the album refused its stream";
        default:
            return "could not be encoded";
    }
}

fs::path PulledName(const fs::path& folder, int position, bool jpeg) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d.%s", position, jpeg ? "jpg" : "bmp");
    return folder / name;
}

}  // namespace

int RunAdd(const GlobalOptions& options, const std::vector<std::string>& args) {
    AddArgs a;
    if (!ParseAddArgs(args, a)) return kExitUsage;
    // A damaged file gets one line of ours; the picture reader's own warnings would repeat it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    const int quality = a.quality != 0 ? a.quality : ConfiguredQuality();

    std::string error;
    const fs::path cache = config::PrivateCacheFolder("fotolume", &error);
    if (cache.empty()) {
        PrintError("no private folder for scratch files: " + error);
        return kExitFailed;
    }
    config::CScratchFolder scratch(cache, "add-");
    if (!scratch.Ok()) {
        PrintError("cannot make a scratch folder in " + cache.string());
        return kExitFailed;
    }

    OpenAlbum album;
    if (int r = album.Open(options, device::ClaimMode::Exclusive); r != kExitOk) return r;
    if (int r = album.RequireWritable(options); r != kExitOk) return r;
    album::CAlbumStore& store = *album.store;
    // An add compacts the image when the picture does not fit behind the last one, which moves every
    // picture's bytes: those must be in memory then. Without holes between the pictures it never does.
    if (store.GetCapacity() - store.GetUsedLength() < store.GetFreeBytes()) {
        if (int r = album.ReadAllPictures(); r != kExitOk) return r;
    }

    const QSize panel(static_cast<int>(store.Info().lcdWidth), static_cast<int>(store.Info().lcdHeight));
    int added = 0, skipped = 0;
    if (options.json) std::printf("[");
    for (const std::string& file : a.files) {
        int zoomDone = 0;
        album::AddResult r;
        std::string why, warning;
        const QImage composed = ComposeFile(file, panel, a, zoomDone, why, warning);
        if (composed.isNull()) {
            if (why.empty()) why = "cannot be read as a picture";
        } else {
            r = pictures::AddPanelPicture(store, composed, scratch.File("panel.bmp"), scratch.File("picture.stream"),
                                          quality);
            if (!r.Added()) why = RefusalText(r);
        }
        if (why.empty()) {
            ++added;
            if (!warning.empty()) PrintError("warning: " + file + ": " + warning);
        } else {
            ++skipped;
            PrintError(file + ": " + why + "; skipped");
        }
        if (options.json) {
            std::printf("%s{\"file\": %s, \"added\": %s", added + skipped > 1 ? ", " : "", JsonQuote(file).c_str(),
                        why.empty() ? "true" : "false");
            if (why.empty()) {
                std::printf(", \"position\": %d, \"quality\": %d, \"bytes\": %zu, \"zoomSteps\": %d",
                            store.GetPictureCount(), r.quality, r.bytes, zoomDone);
                if (!warning.empty()) std::printf(", \"warning\": %s", JsonQuote(warning).c_str());
            } else {
                std::printf(", \"reason\": %s", JsonQuote(why).c_str());
            }
            std::printf("}");
        } else if (why.empty()) {
            std::printf("%s: picture %d, quality %d, %zu bytes", file.c_str(), store.GetPictureCount(), r.quality,
                        r.bytes);
            if (zoomDone != std::abs(a.zoom)) std::printf(" (zoom stopped after %d of %d steps)", zoomDone,
                                                          std::abs(a.zoom));
            std::printf("\n");
        }
    }
    if (options.json) std::printf("]\n");
    std::fflush(stdout);
    if (added > 0) {
        if (int r = album.Commit(); r != kExitOk) return r;
    }
    if (!options.json) {
        std::printf("Added %d of %zu picture(s); the album holds %d\n", added, a.files.size(),
                    store.GetPictureCount());
    }
    return skipped > 0 ? kExitRefused : kExitOk;
}

int RunPull(const GlobalOptions& options, const std::vector<std::string>& args) {
    std::string folderArg;
    bool jpeg = false, force = false;
    for (const std::string& a : args) {
        if (a == "--jpeg") jpeg = true;
        else if (a == "--force") force = true;
        else if (a.rfind("--", 0) == 0 || !folderArg.empty()) {
            PrintError("usage: pull DIR [--jpeg] [--force]");
            return kExitUsage;
        } else folderArg = a;
    }
    if (folderArg.empty()) {
        PrintError("usage: pull DIR [--jpeg] [--force]");
        return kExitUsage;
    }
    const fs::path folder(folderArg);

    OpenAlbum album;
    if (int r = album.Open(options); r != kExitOk) return r;
    album::CAlbumStore& store = *album.store;
    if (const std::string problem = album::PanelProblem(store.Info()); !problem.empty()) {
        PrintError("no picture can be decoded for this frame: " + problem);
        return kExitFailed;
    }
    const int count = store.GetPictureCount();
    const int width = static_cast<int>(store.Info().lcdWidth);
    const int height = static_cast<int>(store.Info().lcdHeight);

    // Nothing is written unless every name is free (or --force): a pull never half-overwrites a folder.
    std::error_code ec;
    if (!force) {
        for (int i = 1; i <= count; ++i) {
            if (fs::exists(fs::symlink_status(PulledName(folder, i, jpeg), ec))) {
                PrintError(PulledName(folder, i, jpeg).string() + " exists; --force overwrites it");
                return kExitRefused;
            }
        }
    }
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        PrintError("cannot make the folder " + folder.string());
        return kExitFailed;
    }
    std::unique_ptr<config::CScratchFolder> scratch;
    if (jpeg) {
        std::string error;
        const fs::path cache = config::PrivateCacheFolder("fotolume", &error);
        if (!cache.empty()) scratch = std::make_unique<config::CScratchFolder>(cache, "pull-");
        if (!scratch || !scratch->Ok()) {
            PrintError("no private folder for scratch files: " + (error.empty() ? cache.string() : error));
            return kExitFailed;
        }
    }

    int skipped = 0;
    ProgressBar progress("Reading");
    for (int i = 0; i < count; ++i) {
        album::PicEntry entry;
        store.GetPictureEntry(i, entry);
        std::vector<uint8_t> stream(entry.length);
        try {
            store.ReadPicture(i, stream.data(), entry.length);
        } catch (const album::CAlbumError& e) {
            return AlbumFailure("reading picture " + std::to_string(i + 1) + " failed", e);
        }
        const fs::path target = PulledName(folder, i + 1, jpeg);
        codec::JPGEncode decoder;
        if (!decoder.DecodeStream(stream, width, height)) {
            ++skipped;
            PrintError("picture " + std::to_string(i + 1) + " does not decode as a " + std::to_string(width) + "x" +
                       std::to_string(height) + " picture; skipped");
            continue;
        }
        if (decoder.Damaged()) {
            PrintError("warning: picture " + std::to_string(i + 1) + " is damaged; the undecodable part is black");
        }
        const std::string bmp = jpeg ? scratch->File("picture.bmp") : target.string();
        bool written = codec::SaveBmpFile(bmp, decoder.VideoBuff().data(),
                                          static_cast<std::size_t>(decoder.RoundedWidth()) * 3, decoder.TrueWidth(),
                                          decoder.Height());
        if (written && jpeg) {
            written = codec::CKv318Encoder::EnCode(bmp, target.string(), width, height, 100, 3, true) > 0;
        }
        if (!written) {
            PrintError("cannot write " + target.string());
            return kExitFailed;
        }
        if (!options.json && options.verbose) std::printf("%s\n", target.string().c_str());
        progress.Set((i + 1) * 100 / count);
    }
    if (options.json) {
        std::printf("{\"folder\": %s, \"pictures\": %d, \"written\": %d}\n", JsonQuote(folder.string()).c_str(),
                    count, count - skipped);
    } else {
        std::printf("Pulled %d of %d picture(s) into %s\n", count - skipped, count, folder.string().c_str());
    }
    return skipped > 0 ? kExitRefused : kExitOk;
}

}  // namespace fotolume::cli
