#include "compose/panel_add.h"

#include <QFile>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "album/album_store.h"
#include "codec/picture_files.h"
#include "compose/panel_bitmap.h"

namespace fotolume::compose {

album::AddResult AddPanelPicture(album::CAlbumStore& store, const QImage& panel, const std::string& bmpPath,
                                 const std::string& streamPath, int firstQuality) {
    const int width = static_cast<int>(store.Info().lcdWidth);
    const int height = static_cast<int>(store.Info().lcdHeight);
    if (!album::PanelProblem(store.Info()).empty() || panel.width() != width || panel.height() != height ||
        !SavePanelBmp(panel, QFile::decodeName(QByteArray::fromStdString(bmpPath)))) {
        album::AddResult failed;
        failed.freeSpace = store.GetFreeSpaceForPicture();
        return failed;
    }
    return album::AddPictureFile(store, streamPath, firstQuality, [&](int quality) {
        return codec::CKv318Encoder::EnCode(bmpPath, streamPath, width, height, quality, kAddMode, false);
    });
}

CScratchFolder::CScratchFolder(const std::filesystem::path& parent, const std::string& prefix) {
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) != nullptr) m_path = name.data();  // mkdtemp makes it 0700
}

CScratchFolder::~CScratchFolder() {
    if (m_path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace fotolume::compose
