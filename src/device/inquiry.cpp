#include "device/inquiry.h"

#include <algorithm>

namespace fotolume::device {

namespace {

std::string Field(const uint8_t* p, size_t size) {
    std::string text;
    for (size_t i = 0; i < size && p[i] != 0; ++i) text.push_back(static_cast<char>(p[i]));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void PutField(uint8_t* p, size_t size, const std::string& text) {
    std::fill(p, p + size, ' ');
    std::copy_n(text.begin(), std::min(size, text.size()), p);
}

}  // namespace

std::array<uint8_t, 6> InquiryCdb(uint8_t allocationLength) {
    return {kInquiryOpcode, 0, 0, 0, allocationLength, 0};
}

std::array<uint8_t, kInquiryLength> BuildInquiryData(const std::string& vendor, const std::string& product,
                                                     const std::string& revision) {
    std::array<uint8_t, kInquiryLength> d{};
    d[0] = kPeripheralCdRom;
    d[1] = 0x80;  // removable medium
    d[2] = 0x05;  // SPC-3
    d[3] = 0x02;  // response data format
    d[4] = kInquiryLength - 5;
    PutField(&d[8], 8, vendor);
    PutField(&d[16], 16, product);
    PutField(&d[32], 4, revision);
    return d;
}

bool ParseInquiry(const uint8_t* data, uint32_t length, DriveIdentity& identity) {
    if (length < 32 || (data[0] & 0x1F) != kPeripheralCdRom) return false;
    identity.vendor = Field(data + 8, 8);
    identity.product = Field(data + 16, 16);
    return true;
}

bool InquireIdentity(IDriveHandle& handle, DriveIdentity& identity, uint32_t timeoutMs) {
    auto cdb = InquiryCdb();
    uint8_t data[kInquiryLength] = {};
    CommandOutcome r = handle.Execute(cdb.data(), static_cast<uint8_t>(cdb.size()), 2, data, sizeof data, timeoutMs);
    if (!r.completed || r.status != 0) return false;
    return ParseInquiry(data, r.transferred, identity);
}

}  // namespace fotolume::device
