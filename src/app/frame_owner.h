// CFrameOwner: the one user at a time of the album store and the frame behind it.
#pragma once

#include <atomic>
#include <memory>

#include "album/album_store.h"

namespace fotolume::app {

// The album store and the frame behind it have exactly one user at a time:
// the window thread, or the one worker it lent them to. The transport keeps
// one pass-through record, so two threads talking to the frame at once would
// mix their commands; lending makes the hand-over explicit instead of relying
// on every caller to remember which flags happen to be set.
class CFrameOwner {
public:
    enum class User { Window, ReadWorker, SyncWorker, AddWorker };

    CFrameOwner() = default;
    CFrameOwner(const CFrameOwner&) = delete;
    CFrameOwner& operator=(const CFrameOwner&) = delete;

    void Reset(std::unique_ptr<album::CAlbumStore> store);
    bool HasStore() const { return m_store != nullptr; }

    // The store for the window thread; null while it is lent out.
    album::CAlbumStore* Store();
    // Hands the store to a worker; null when it is lent already.
    album::CAlbumStore* LendTo(User worker);
    // The worker's last touch of the store: from here on the window has it again.
    void GiveBack();
    bool IsLent() const { return m_user.load() != User::Window; }
    User CurrentUser() const { return m_user.load(); }

    // What the window thread may do while a worker holds the store: these
    // touch only the link's own locked presence state or atomic flags.
    bool FramePresent() const;
    void RequestStop();
    album::CAlbumStore* PresenceStore() { return m_store.get(); }

private:
    std::unique_ptr<album::CAlbumStore> m_store;
    std::atomic<User> m_user{User::Window};
};

}  // namespace fotolume::app
