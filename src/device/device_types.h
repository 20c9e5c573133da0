// Values shared by the device link and flash access.
#pragma once

namespace fotolume::device {

// Full = Fotolume, Compact = MacFotolume: the same classes with a few lines of different behaviour.
enum class Variant { Full, Compact };

// Results of SendCmdToDPF.
inline constexpr int kSendDone = 0, kSendFailed = 1, kSendNoFrame = 2;
// Results of the flash operations that take several commands.
inline constexpr int kFlashOk = 0, kFlashFailed = 16, kFlashEraseFailed = 32;

// Direction of a command's data phase.
inline constexpr int kDirNone = 0, kDirToFrame = 1, kDirFromFrame = 2;

}  // namespace fotolume::device
