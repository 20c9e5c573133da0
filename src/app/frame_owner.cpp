#include "app/frame_owner.h"

namespace fotolume::app {

void CFrameOwner::Reset(std::unique_ptr<album::CAlbumStore> store) {
    m_store = std::move(store);
    m_user = User::Window;
}

album::CAlbumStore* CFrameOwner::Store() { return IsLent() ? nullptr : m_store.get(); }

album::CAlbumStore* CFrameOwner::LendTo(User worker) {
    User expected = User::Window;
    if (!m_store || worker == User::Window || !m_user.compare_exchange_strong(expected, worker)) return nullptr;
    return m_store.get();
}

void CFrameOwner::GiveBack() { m_user = User::Window; }

bool CFrameOwner::FramePresent() const { return m_store && m_store->GetUSBDeviceStatus(); }

void CFrameOwner::RequestStop() {
    if (m_store) m_store->RequestStop();
}

}  // namespace fotolume::app
