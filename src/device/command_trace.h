// The command trace: one JSON line per command a drive is sent, written as it happens, so that the trace
// of a program that hangs or dies is whole up to its last command. A command's line is written when it
// is sent (marked "pending") and completed in place when it ends; a trace that cannot be rewritten in
// place (a pipe) gets each line when its command ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/drive_backend.h"

namespace fotolume::device {

// One command as the trace shows it.
struct TracedCommand {
    std::string time;           // when it was sent, UTC, ISO 8601 with microseconds
    std::string drive;          // sgN, or the socket's name
    const uint8_t* cdb = nullptr;
    uint8_t cdbLength = 0;
    int direction = 0;          // 0 none, 1 to the frame, 2 from the frame
    uint32_t requested = 0;     // data length asked for
    // The data that went over the link: to the frame, what was sent (requested bytes); from the frame,
    // what came back (returned bytes). Up to 64 bytes are written in full, else length and byte sum.
    const uint8_t* data = nullptr;
    // Set when the command ended.
    bool ended = false;
    CommandOutcome outcome;     // completed false: the pass-through failed and no status came back
    int64_t micros = 0;         // how long it took
};

// Data up to this many bytes is written out in full.
inline constexpr uint32_t kTraceFullData = 64;

// The JSON line of a command (no newline).
std::string FormatTracedCommand(const TracedCommand& command);
// The current time as the trace writes it.
std::string TraceTimeNow();
// text as a JSON string, quotes included. Bytes outside printable ASCII are escaped one by one, so that
// a frame's names, which may hold any bytes, still make valid JSON.
std::string TraceJsonString(const std::string& text);

class CCommandTrace {
public:
    // Opens path for appending (a trace is never cut short by a later run) and writes a first line
    // naming the program. nullptr, with a one-line reason in error, when it cannot be written.
    static std::shared_ptr<CCommandTrace> Open(const std::string& path, const std::string& program,
                                               std::string& error);
    ~CCommandTrace();
    CCommandTrace(const CCommandTrace&) = delete;
    CCommandTrace& operator=(const CCommandTrace&) = delete;

    // Where a command's line lies, from Begin to End.
    struct Slot {
        int64_t offset = -1;  // -1: nothing written yet (the line goes out at End)
        size_t size = 0;      // the line's room, newline excluded
        std::chrono::steady_clock::time_point start;
    };
    // Writes the line of a command being sent; command.time is set here.
    Slot Begin(TracedCommand& command);
    // Completes that line: outcome, duration and, from the frame, the data that came back.
    void End(const Slot& slot, TracedCommand& command);
    // A line that is not a command (a drive opened or refused, an identity read). fields: the JSON
    // members after "time" and "drive", comma first, e.g. ,"open":true
    void Note(const std::string& drive, const std::string& fields);

    const std::string& Path() const { return m_path; }
    // Why writing stopped, or empty while every line went out.
    std::string Problem() const;

private:
    CCommandTrace(int fd, std::string path, bool seekable, int64_t end);
    bool Append(const std::string& line, int64_t* offset);  // under m_lock
    void Failed(const char* what);

    const int m_fd;
    const std::string m_path;
    const bool m_seekable;
    mutable std::mutex m_lock;
    int64_t m_end;
    std::string m_problem;
};

}  // namespace fotolume::device
