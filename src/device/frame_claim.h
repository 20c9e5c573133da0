// One writer per frame: a program that reads the album holds a shared claim on the frame, a program
// that writes it an exclusive one. A claim is an advisory flock on a file that stands for the drive
// (its /dev/sgN node, or a lock file beside a frames-folder socket), so it reaches across processes
// and users, and the kernel lets go of it when the process ends, however it ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace fotolume::device {

enum class ClaimMode { Shared, Exclusive };

// How long a program waits for another one to let go of the frame before it refuses.
inline constexpr std::chrono::milliseconds kClaimWait{5000};

// A claim held by this process; released when the object goes. Claims of one process never conflict
// with each other: a claim it already holds is held again, and an exclusive one also covers reading.
class CFrameClaim {
public:
    CFrameClaim() = default;
    ~CFrameClaim();
    CFrameClaim(CFrameClaim&& other) noexcept;
    CFrameClaim& operator=(CFrameClaim&& other) noexcept;
    CFrameClaim(const CFrameClaim&) = delete;
    CFrameClaim& operator=(const CFrameClaim&) = delete;

    // Waits up to `wait` for other processes to let go of `path`, then holds it in `mode`. An empty path
    // (a drive no other process can reach) and a file that cannot be opened (the drive is gone, and
    // its commands fail on their own) give a claim that is held without a lock.
    static CFrameClaim Take(const std::string& path, ClaimMode mode, std::chrono::milliseconds wait);

    bool Held() const { return m_held; }
    ClaimMode Mode() const { return m_mode; }
    // When not held: who holds the frame, "fotolume-cli (pid 1234)", or "another program".
    const std::string& Holder() const { return m_holder; }
    // When not held: one line for the user.
    std::string RefusalText() const;
    void Release();

private:
    bool m_locked = false;  // false: held without a lock
    dev_t m_dev = 0;        // the file locked
    ino_t m_ino = 0;
    ClaimMode m_mode = ClaimMode::Shared;
    bool m_held = false;
    std::string m_holder;
};

// Who else holds a flock on the file open at fd, from /proc/locks: "name (pid N)", or empty when no
// other process is found there.
std::string DescribeLockHolder(int fd);

}  // namespace fotolume::device
