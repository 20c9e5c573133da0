#include "device/wire_protocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "device/bytes.h"

namespace fotolume::device {

std::array<uint8_t, kWireRequestSize> EncodeRequest(const WireRequest& r) {
    std::array<uint8_t, kWireRequestSize> h{};
    h[0] = r.cdbLength;
    std::copy_n(r.cdb.begin(), std::min<size_t>(r.cdbLength, 16), h.begin() + 1);
    h[17] = r.direction;
    WriteLe32(&h[18], r.direction == 0 ? 0 : r.dataLength);
    WriteLe32(&h[22], r.timeoutMs);
    return h;
}

bool DecodeRequest(const uint8_t h[kWireRequestSize], WireRequest& r, std::string* why) {
    auto fail = [why](const char* text) {
        if (why) *why = text;
        return false;
    };
    r.cdbLength = h[0];
    if (r.cdbLength != 6 && r.cdbLength != 10 && r.cdbLength != 12 && r.cdbLength != 16)
        return fail("command block length not 6, 10, 12 or 16");
    r.cdb.fill(0);
    std::copy_n(h + 1, r.cdbLength, r.cdb.begin());
    r.direction = h[17];
    if (r.direction > 2) return fail("direction not 0, 1 or 2");
    r.dataLength = ReadLe32(&h[18]);
    if (r.direction == 0 && r.dataLength != 0) return fail("data length without a data phase");
    if (r.dataLength > kWireMaxData) return fail("data length too large");
    r.timeoutMs = ReadLe32(&h[22]);
    return true;
}

std::array<uint8_t, kWireResponseSize> EncodeResponse(const WireResponse& r) {
    std::array<uint8_t, kWireResponseSize> h{};
    h[0] = r.status;
    WriteLe32(&h[1], r.count);
    return h;
}

WireResponse DecodeResponse(const uint8_t h[kWireResponseSize]) { return {h[0], ReadLe32(&h[1])}; }

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size, int timeoutMs) {
    auto* p = static_cast<uint8_t*>(data);
    while (size > 0) {
        pollfd pfd{fd, POLLIN, 0};
        int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace fotolume::device
