// The frames-folder socket protocol: one request (command block, direction, length, timeout, data to
// the frame) answered by one response (status, data from the frame). All integers little-endian.
// Pure encoding and decoding; the client is the frames back-end, the server is fotolume-sim.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace fotolume::device {

inline constexpr size_t kWireRequestSize = 26;   // header; data to the frame follows
inline constexpr size_t kWireResponseSize = 5;   // header; data from the frame follows
inline constexpr uint32_t kWireMaxData = 16u << 20;

struct WireRequest {
    uint8_t cdbLength = 16;            // 6, 10, 12 or 16
    std::array<uint8_t, 16> cdb{};     // bytes past cdbLength are 0
    uint8_t direction = 0;             // 0 none, 1 to the frame, 2 from the frame
    uint32_t dataLength = 0;           // 0 for direction 0
    uint32_t timeoutMs = 0;
};

struct WireResponse {
    uint8_t status = 0;   // 0 GOOD
    uint32_t count = 0;   // data bytes that follow (direction 2 only)
};

std::array<uint8_t, kWireRequestSize> EncodeRequest(const WireRequest& request);
// False (with the reason) for a header that breaks the protocol.
bool DecodeRequest(const uint8_t header[kWireRequestSize], WireRequest& request, std::string* why = nullptr);

std::array<uint8_t, kWireResponseSize> EncodeResponse(const WireResponse& response);
WireResponse DecodeResponse(const uint8_t header[kWireResponseSize]);

// Whole-buffer socket I/O. WriteAll never raises SIGPIPE. ReadAll gives up after timeoutMs of silence
// (negative: wait forever). Both return false on a closed or broken connection.
bool WriteAll(int fd, const void* data, size_t size);
bool ReadAll(int fd, void* data, size_t size, int timeoutMs);

}  // namespace fotolume::device
