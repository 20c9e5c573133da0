// MacFotolume's window over an in-process emulated frame, and helpers that build albums on its flash.
#pragma once

#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "album/picture_list.h"
#include "compact/compact_globals.h"
#include "compact/mac_prompt.h"
#include "compact/mac_window.h"
#include "tests/support/emulated_frame.h"
#include "tests/support/pictures.h"
#include "tests/support/qt_pictures.h"
#include "tests/support/temp_folder.h"

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace fotolume::compact::testing {

// A frame picture stream of one plain colour at the panel size.
inline std::vector<uint8_t> EncodedPicture(int width, int height, QColor colour) {
    return testsupport::PictureStream(testsupport::SolidPicture(width, height, colour), 90);
}
using testsupport::ReadBytes;
inline std::vector<uint8_t> Bytes(uint32_t size, uint32_t seed) { return testsupport::PictureBytes(size, seed); }

// A list entry as the frame stores it.
struct Slot {
    uint8_t flag;
    uint32_t address;
    uint32_t length;
};

class CompactTest : public ::testing::Test {
protected:
    void TearDown() override;

    // The frame's flash as BuildFrameImage makes it; edit it before Start.
    std::vector<uint8_t>& NewFlash(const sim::NewFrame& layout = {});
    // Writes a valid list with these slots at the layout's list address, and the bytes at their addresses;
    // on a new frame (NewFlash) when there is none yet, as Start does.
    void PutAlbum(const std::vector<Slot>& slots, const std::vector<std::vector<uint8_t>>& streams);
    // Pictures of these colours one after another from L + 4096.
    std::vector<Slot> PutPictures(const std::vector<QColor>& colours);
    // An album node whose stream file holds bytes, not yet on the frame.
    void AddStream(const std::string& name, const std::vector<uint8_t>& bytes);
    // The recovery records kept for downloads.
    std::vector<std::filesystem::path> Records() const;

    // The window started over the frame (attached), the online reading finished.
    void Start(QStringList volumes = {});
    // The last listed browser item of that name still listed; -1 when none.
    int IndexOfName(const QString& name) const;
    // Clicks a browser item: it alone is selected and current.
    void Click(int index);
    // Lets the worker end and the window thread carry out everything it was handed.
    void Settle();
    // Unplugs or plugs (and powers up) the frame and tells the window, which has not reacted yet.
    void Announce(bool attached);
    // The same, and the window reacts.
    void Plug(bool attached);

    QString Text(const char* signature, int number) const;
    QStringList AlbumNames() const;
    bool CommandsEnabled() const;
    // The frame's list as a fresh read sees it, and any other bytes of its flash.
    std::vector<uint8_t> FlashList() const { return FlashBytes(m_layout.listAddress, album::kListSize); }
    std::vector<uint8_t> FlashBytes(uint32_t address, uint32_t length) const;

    sim::NewFrame m_layout;
    // Set before Start: flash reads from this address come back damaged every time (0: none), and then
    // (m_silentAfterDamage) the frame answers no command at all while its drive stays attached.
    uint32_t m_damagedReads = 0;
    bool m_silentAfterDamage = false;
    // Holds Language.ini; empty: the shipped file beside the tests.
    std::filesystem::path m_resources;
    std::unique_ptr<sim::CFlashEmulator> m_emulator;
    sim::CEmulatorBackend* m_backend = nullptr;
    CScriptedMacPrompt m_prompt;
    std::unique_ptr<CMacWindow> m_window;
    int m_quits = 0;
};

}  // namespace fotolume::compact::testing
