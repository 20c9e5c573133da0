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

std::unique_ptr<BoundStore> AlbumFrame::Open(bool fastPolls) {
    auto bound = std::make_unique<BoundStore>(emulator, fastPolls);
    bound->store.GetInformation();
    bound->store.ReadPictureList();
    for (int i = 0; i < bound->store.GetPictureCount(); ++i) bound->store.LoadPicture(i);
    bound->ClearSent();
    bound->progress.clear();
    return bound;
}

std::vector<std::vector<uint8_t>> PicturesInMemory(const CAlbumStore& store) {
    std::vector<std::vector<uint8_t>> out;
    for (int i = 0; i < store.GetPictureCount(); ++i) {
        PicEntry entry;
        store.GetPictureEntry(i, entry);
        const uint8_t* data = store.PictureData(i);
        out.emplace_back(data, data + entry.length);
    }
    return out;
}

}  // namespace fotolume::album::testing
