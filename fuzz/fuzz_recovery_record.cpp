// Recovery records are read back from files on disk: any bytes must decode or be refused, and whatever
// decodes must encode to a record that decodes the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "album/recovery_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace fotolume::album;
    const std::vector<uint8_t> bytes(data, data + size);
    RecoveryRecord record;
    std::string problem;
    if (!DecodeRecord(bytes, record, problem)) return 0;
    RecoveryRecord again;
    if (!DecodeRecord(EncodeRecord(record), again, problem)) std::abort();
    if (!(again.identity == record.identity) || again.newPictures.size() != record.newPictures.size() ||
        again.oldPictures.size() != record.oldPictures.size() || again.newList != record.newList) {
        std::abort();
    }
    return 0;
}
