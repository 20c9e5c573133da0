// CKv318Encoder: the file-level front of the codec used by the album workers and the export commands.
#pragma once

#include <cstddef>
#include <string>

namespace fotolume::codec {

class CKv318Encoder {
public:
    // Encodes a BMP of the panel size (read by LoadPicFromDir at width x height) into a frame picture
    // stream, or a JFIF file when jfif is set, at destination. Returns the bytes written; 0 when the BMP
    // cannot be read, the arguments are out of range or the destination cannot be written. endedEarly,
    // when given, says whether the BMP lacked pixel rows (encoded as black).
    static std::size_t EnCode(const std::string& source, const std::string& destination, int width, int height,
                              int quality, int mode, bool jfif, bool* endedEarly = nullptr);

    // Decodes a frame picture stream into a 24-bit BMP. False when the stream is refused (unreadable,
    // another panel size, bad tables); see JPGEncode::DecodeMyPicture. MacFotolume writes its BMPs
    // with 0 pixels per metre.
    static bool DeCode(const std::string& source, const std::string& destination, int expectedWidth,
                       int expectedHeight, int pixelsPerMetre = 300);
};

}  // namespace fotolume::codec
