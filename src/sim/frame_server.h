// Serves one emulated frame on a Unix stream socket of a frames folder. Each request is executed whole
// before the next is read, whichever connection it comes from, as a frame's controller would.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <sys/types.h>

#include "device/command_trace.h"
#include "sim/flash_emulator.h"

namespace fotolume::sim {

class CFrameServer {
public:
    CFrameServer(CFlashEmulator& emulator, std::string socketPath);
    ~CFrameServer();  // removes the socket if it is still ours
    CFrameServer(const CFrameServer&) = delete;
    CFrameServer& operator=(const CFrameServer&) = delete;

    // Binds at a temporary name and renames the socket into place once it accepts connections, so that
    // the frame appears ready. A stale socket nobody serves is replaced. False with a reason otherwise.
    bool Listen(std::string& error);
    // Serves until stopFd becomes readable or the frame vanishes; then closes every connection and
    // removes the socket (the frame is gone). Returns true when the frame vanished.
    bool Serve(int stopFd);

    // Every request served goes into trace (nullptr: none).
    void SetTrace(std::shared_ptr<device::CCommandTrace> trace) { m_trace = std::move(trace); }

    size_t Connections() const { return m_connections; }         // accepted so far
    size_t OpenConnections() const { return m_openConnections; }  // open now

private:
    bool ServeRequest(int fd);  // false: drop the connection
    void RemoveSocket();

    CFlashEmulator& m_emulator;
    std::string m_path;
    std::string m_name;  // the socket's file name
    std::shared_ptr<device::CCommandTrace> m_trace;
    int m_listenFd = -1;
    ino_t m_inode = 0;
    std::atomic<size_t> m_connections{0};
    std::atomic<size_t> m_openConnections{0};
};

}  // namespace fotolume::sim
