// Album commands: info, list, delete, colors, backup. Each reads the header and the picture list first;
// an edit is committed to the frame before the command ends.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "album/album_store.h"
#include "cli/album_recovery.h"
#include "cli/album_session.h"
#include "cli/commands.h"
#include "cli/frame_open.h"

namespace fotolume::cli {

namespace {

using album::CAlbumError;
using album::CAlbumStore;

bool ParseColor(const std::string& text, uint16_t& out) {
    std::string digits = text;
    if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
    if (digits.size() != 6 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    unsigned long rgb = std::stoul(digits, nullptr, 16);
    unsigned r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    out = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    return true;
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

}  // namespace

int RunInfo(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        PrintError("info takes no arguments");
        return kExitUsage;
    }
    OpenAlbum album;
    if (int r = album.Open(options); r != kExitOk) return r;
    const CAlbumStore& s = *album.store;
    const album::DeviceInfo& info = s.Info();
    uint16_t font = 0, background = 0;
    s.GetColors(font, background);
    if (options.json) {
        std::printf(
            "{\"panelWidth\": %u, \"panelHeight\": %u, \"listAddress\": %u, \"flashSize\": %u, \"capacity\": %u, "
            "\"maxPictures\": %u, \"eraseOpcode\": %u, \"programFlag\": %s, \"pictures\": %d, \"freeBytes\": %u, "
            "\"usedEndAddress\": %u, \"fontColor\": \"%s\", \"backgroundColor\": \"%s\", \"font565\": %u, "
            "\"background565\": %u, \"writable\": %s, \"listRepaired\": %s}\n",
            info.lcdWidth, info.lcdHeight, info.listAddress, info.flashTotalSize, info.capacity, info.maxPictures,
            info.eraseOpcode, info.programFlag ? "true" : "false", s.GetPictureCount(), s.GetFreeBytes(),
            s.GetUsedEndAddress(), ColorText(font).c_str(), ColorText(background).c_str(), font, background,
            s.IsLayoutWritable() ? "true" : "false", s.ListChangedOnLoad() ? "true" : "false");
        return kExitOk;
    }
    std::printf("Panel:            %ux%u\n", info.lcdWidth, info.lcdHeight);
    std::printf("List address:     %s\n", Hex(info.listAddress, 6).c_str());
    std::printf("Flash size:       %u bytes (%u KB)\n", info.flashTotalSize, info.flashTotalSize / 1024);
    std::printf("Capacity:         %u bytes\n", info.capacity);
    std::printf("Maximum pictures: %u%s\n", info.maxPictures, info.maxPictures == 0 ? " (space alone limits)" : "");
    std::printf("Erase opcode:     %s\n", Hex(info.eraseOpcode, 2).c_str());
    std::printf("Program flag:     %d\n", info.programFlag ? 1 : 0);
    std::printf("Pictures:         %d\n", s.GetPictureCount());
    std::printf("Free bytes:       %u\n", s.GetFreeBytes());
    std::printf("Used end address: %s\n", Hex(s.GetUsedEndAddress(), 6).c_str());
    std::printf("Font colour:      %s (%s)\n", ColorText(font).c_str(), Hex(font, 4).c_str());
    std::printf("Background:       %s (%s)\n", ColorText(background).c_str(), Hex(background, 4).c_str());
    if (!s.IsLayoutWritable())
        std::printf("Layout:           not writable, edits are refused: %s\n", s.LayoutProblemText().c_str());
    if (s.ListChangedOnLoad()) std::printf("List:             entries outside the picture area were left out\n");
    return kExitOk;
}

int RunList(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        PrintError("list takes no arguments");
        return kExitUsage;
    }
    OpenAlbum album;
    if (int r = album.Open(options); r != kExitOk) return r;
    const CAlbumStore& s = *album.store;
    if (options.json) std::printf("[");
    for (int i = 0; i < s.GetPictureCount(); ++i) {
        album::PicEntry entry;
        s.GetPictureEntry(i, entry);
        if (options.json) {
            std::printf("%s{\"position\": %d, \"address\": %u, \"length\": %u}", i ? ", " : "", i + 1, entry.address,
                        entry.length);
        } else {
            std::printf("%4d  %s  %u\n", i + 1, Hex(entry.address, 6).c_str(), entry.length);
        }
    }
    if (options.json) std::printf("]\n");
    return kExitOk;
}

int RunDelete(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintError("delete needs the 1-based positions of the pictures to remove");
        return kExitUsage;
    }
    std::set<int> positions;
    for (const std::string& a : args) {
        if (a.empty() || a.size() > 4 || a.find_first_not_of("0123456789") != std::string::npos || std::stoi(a) < 1) {
            PrintError("not a picture position: " + a);
            return kExitUsage;
        }
        positions.insert(std::stoi(a));
    }
    OpenAlbum album;
    if (int r = album.Open(options, device::ClaimMode::Exclusive); r != kExitOk) return r;
    if (int r = album.RequireWritable(options); r != kExitOk) return r;
    const int count = album.store->GetPictureCount();
    if (*positions.rbegin() > count) {
        PrintError("no picture " + std::to_string(*positions.rbegin()) + " (the album holds " + std::to_string(count) +
                   ")");
        return kExitUsage;
    }
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) album.store->DeletePicture(*it - 1);
    if (int r = album.Commit(); r != kExitOk) return r;
    std::printf("Deleted %zu picture(s); %d left\n", positions.size(), album.store->GetPictureCount());
    return kExitOk;
}

int RunColors(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool setFont = false, setBackground = false;
    uint16_t font = 0, background = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool isFont = args[i] == "--font";
        if ((!isFont && args[i] != "--background") || i + 1 >= args.size()) {
            PrintError("usage: colors [--font RRGGBB] [--background RRGGBB]");
            return kExitUsage;
        }
        if (!ParseColor(args[++i], isFont ? font : background)) {
            PrintError("not a colour (RRGGBB): " + args[i]);
            return kExitUsage;
        }
        (isFont ? setFont : setBackground) = true;
    }
    OpenAlbum album;
    const bool setting = setFont || setBackground;
    if (int r = album.Open(options, setting ? device::ClaimMode::Exclusive : device::ClaimMode::Shared); r != kExitOk)
        return r;
    CAlbumStore& s = *album.store;
    if (setting) {
        if (int r = album.RequireWritable(options); r != kExitOk) return r;
        uint16_t oldFont = 0, oldBackground = 0;
        s.GetColors(oldFont, oldBackground);
        if (!setFont) font = oldFont;
        if (!setBackground) background = oldBackground;
        // One write of the list block, with nothing else in it.
        if (int r = album.SetColors(font, background); r != kExitOk) return r;
    }
    s.GetColors(font, background);
    if (options.json) {
        std::printf("{\"font\": \"%s\", \"background\": \"%s\"}\n", ColorText(font).c_str(),
                    ColorText(background).c_str());
    } else {
        std::printf("Font:       %s\nBackground: %s\n", ColorText(font).c_str(), ColorText(background).c_str());
    }
    return kExitOk;
}

int RunBackup(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 1) {
        PrintError("usage: backup FILE");
        return kExitUsage;
    }
    OpenAlbum album;
    if (int r = album.Open(options); r != kExitOk) return r;
    CAlbumStore& s = *album.store;
    const uint32_t total = s.GetFlashTotalSize();
    std::vector<uint8_t> flash(total);
    {
        ProgressBar bar("Reading");
        try {
            for (uint32_t done = 0; done < total; done += album::kBlockSize) {
                s.ReadFlashData(done, std::min(album::kBlockSize, total - done), flash.data() + done);
                bar.Set(static_cast<int>(uint64_t{done + std::min(album::kBlockSize, total - done)} * 100 / total));
            }
        } catch (const CAlbumError& e) {
            return AlbumFailure("reading the flash failed", e);
        }
    }
    // Written beside the target and renamed over it, so that a failed run never leaves half a backup.
    const std::string& path = args[0];
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        PrintError("cannot create " + temporary + ": " + std::strerror(errno));
        return kExitFailed;
    }
    bool written = std::fwrite(flash.data(), 1, flash.size(), file) == flash.size();
    written = (std::fflush(file) == 0) && written && ::fsync(::fileno(file)) == 0;
    written = (std::fclose(file) == 0) && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        PrintError("cannot write " + path + ": " + std::strerror(errno));
        std::remove(temporary.c_str());
        return kExitFailed;
    }
    std::printf("Saved %u bytes of flash to %s\n", total, path.c_str());
    return kExitOk;
}

}  // namespace fotolume::cli
