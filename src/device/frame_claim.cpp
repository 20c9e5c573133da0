#include "device/frame_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

namespace fotolume::device {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollInterval{50};

// The claims of this process, by the file locked. All of them share one descriptor per file: a flock
// belongs to an open file description, so a second descriptor would conflict with the first.
struct Entry {
    int fd = -1;
    int shared = 0;
    int exclusive = 0;
};
using Key = std::pair<dev_t, ino_t>;

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

std::map<Key, Entry>& Registry() {
    static std::map<Key, Entry> entries;
    return entries;
}

bool TryFlock(int fd, ClaimMode mode) {
    return ::flock(fd, (mode == ClaimMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
}

// Opening never waits: a FIFO or a device in the lock file's place must not stall the program.
int OpenForLock(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
}

std::string ProgramName(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

}  // namespace

std::string DescribeLockHolder(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    long found = 0;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters are listed as "1: -> FLOCK ...".
        std::istringstream fields(line);
        std::string id, type, advisory, access, devIno;
        long pid = 0;
        if (!(fields >> id >> type) || type != "FLOCK") continue;
        if (!(fields >> advisory >> access >> pid >> devIno) || devIno != wanted) continue;
        if (pid <= 0 || pid == ::getpid()) continue;
        // A writer is the one to name when there is one.
        if (found == 0 || access == "WRITE") found = pid;
        if (access == "WRITE") break;
    }
    if (found == 0) return {};
    const std::string name = ProgramName(found);
    return (name.empty() ? std::string("a program") : name) + " (pid " + std::to_string(found) + ")";
}

CFrameClaim::~CFrameClaim() { Release(); }

CFrameClaim::CFrameClaim(CFrameClaim&& other) noexcept
    : m_locked(other.m_locked),
      m_dev(other.m_dev),
      m_ino(other.m_ino),
      m_mode(other.m_mode),
      m_held(other.m_held),
      m_holder(std::move(other.m_holder)) {
    other.m_held = false;
    other.m_locked = false;
}

CFrameClaim& CFrameClaim::operator=(CFrameClaim&& other) noexcept {
    if (this != &other) {
        Release();
        m_locked = other.m_locked;
        m_dev = other.m_dev;
        m_ino = other.m_ino;
        m_mode = other.m_mode;
        m_held = other.m_held;
        m_holder = std::move(other.m_holder);
        other.m_held = false;
        other.m_locked = false;
    }
    return *this;
}

CFrameClaim CFrameClaim::Take(const std::string& path, ClaimMode mode, std::chrono::milliseconds wait) {
    CFrameClaim claim;
    claim.m_mode = mode;
    if (path.empty()) {
        claim.m_held = true;
        return claim;
    }
    const Clock::time_point deadline = Clock::now() + wait;
    // A holder that cannot be named at the deadline is most likely letting go that moment: a few more
    // tries before the refusal, which then names it whenever it can.
    int graceLeft = 5;
    for (;;) {
        std::string holder;
        {
            const int fd = OpenForLock(path);
            struct stat st {};
            if (fd < 0 || ::fstat(fd, &st) != 0) {
                if (fd >= 0) ::close(fd);
                claim.m_held = true;
                return claim;
            }
            const Key key{st.st_dev, st.st_ino};
            std::lock_guard<std::mutex> guard(RegistryLock());
            auto& entries = Registry();
            auto it = entries.find(key);
            bool granted = false;
            if (it == entries.end()) {
                if (TryFlock(fd, mode)) {
                    it = entries.emplace(key, Entry{fd, 0, 0}).first;
                    granted = true;
                } else {
                    holder = DescribeLockHolder(fd);
                    ::close(fd);
                }
            } else {
                ::close(fd);
                Entry& e = it->second;
                if (mode == ClaimMode::Shared || e.exclusive > 0) {
                    granted = true;
                } else if (TryFlock(e.fd, ClaimMode::Exclusive)) {
                    granted = true;
                } else {
                    // A refused conversion has dropped the shared lock in the kernel: take it back for
                    // the readers of this process.
                    holder = DescribeLockHolder(e.fd);
                    TryFlock(e.fd, ClaimMode::Shared);
                }
            }
            if (granted) {
                ++(mode == ClaimMode::Exclusive ? it->second.exclusive : it->second.shared);
                claim.m_locked = true;
                claim.m_dev = st.st_dev;
                claim.m_ino = st.st_ino;
                claim.m_held = true;
                return claim;
            }
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            if (holder.empty() && graceLeft-- > 0) {
                std::this_thread::sleep_for(kPollInterval);
                continue;
            }
            claim.m_holder = holder.empty() ? "another program" : holder;
            return claim;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kPollInterval, deadline - now));
    }
}

void CFrameClaim::Release() {
    if (!m_held) return;
    m_held = false;
    if (!m_locked) return;
    m_locked = false;
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto& entries = Registry();
    auto it = entries.find(Key{m_dev, m_ino});
    if (it == entries.end()) return;
    Entry& e = it->second;
    --(m_mode == ClaimMode::Exclusive ? e.exclusive : e.shared);
    if (e.exclusive == 0 && e.shared == 0) {
        ::close(e.fd);  // closing the last descriptor lets go of the lock
        entries.erase(it);
    } else if (e.exclusive == 0 && m_mode == ClaimMode::Exclusive) {
        TryFlock(e.fd, ClaimMode::Shared);  // back to reading; never refused while this process wrote
    }
}

std::string CFrameClaim::RefusalText() const {
    return "the frame is in use by " + m_holder + "; try again when it has finished";
}

}  // namespace fotolume::device
