#include "tests/album/album_fixture.h"

namespace fotolume::album::testing {

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
