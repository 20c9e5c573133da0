#include "tests/album/album_fixture.h"

namespace fotolume::album::testing {

uint64_t LastCommand(const std::vector<SentCommand>& sent, bool (SentCommand::*is)() const) {
    for (size_t i = sent.size(); i > 0; --i) {
        if ((sent[i - 1].*is)()) return i;
    }
    return 0;
}

uint64_t NthCommand(const std::vector<SentCommand>& sent, bool (SentCommand::*is)() const, int n) {
    for (size_t i = 0; i < sent.size(); ++i) {
        if ((sent[i].*is)() && --n == 0) return i + 1;
    }
    return 0;
}

BoundStore::BoundStore(sim::CFlashEmulator& emulator, bool fastPolls) {
    backend = testsupport::BindStore(
        store, emulator,
        [this](int picture, int done, int total) {
            progress.push_back({picture, done, total});
            if (onProgress) onProgress(progress.back());
        },
        fastPolls);
}

std::unique_ptr<BoundStore> AlbumFrame::Open() {
    auto bound = std::make_unique<BoundStore>(emulator);
    ReadAlbum(bound->store);
    bound->ClearSent();
    bound->progress.clear();
    return bound;
}

}  // namespace fotolume::album::testing
