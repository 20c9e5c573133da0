#include "device/command_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "device/checksum.h"
#include "device/device_types.h"

#ifndef FOTOLUME_VERSION
#define FOTOLUME_VERSION "unknown"
#endif

namespace fotolume::device {

namespace {

// Room a pending line keeps for what only the end of its command tells: returned length, status,
// duration (each at its widest), and the data that came back.
size_t EndRoom(const TracedCommand& c) {
    size_t room = sizeof(R"(,"returned":4294967295,"status":null,"us":-9223372036854775808)");
    if (c.direction == kDirFromFrame)
        room += c.requested <= kTraceFullData ? sizeof(R"(,"data":"")") + 2 * c.requested
                                              : sizeof(R"(,"data_length":4294967295,"data_sum":65535)");
    return room;
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
}

void AppendData(std::string& out, const uint8_t* data, uint32_t length) {
    if (length <= kTraceFullData) {
        out += R"(,"data":")";
        if (data) AppendHex(out, data, length);
        out += '"';
        return;
    }
    out += R"(,"data_length":)" + std::to_string(length);
    out += R"(,"data_sum":)" + std::to_string(data ? ByteSum16(data, length) : 0);
}

bool WriteAt(int fd, const char* text, size_t size, int64_t offset) {
    while (size > 0) {
        ssize_t n = offset >= 0 ? ::pwrite(fd, text, size, offset) : ::write(fd, text, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text += n;
        size -= static_cast<size_t>(n);
        if (offset >= 0) offset += n;
    }
    return true;
}

}  // namespace

std::string TraceJsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string TraceTimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm utc{};
    ::gmtime_r(&now.tv_sec, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, now.tv_nsec / 1000);
    return text;
}

std::string FormatTracedCommand(const TracedCommand& c) {
    static const char* const kDirections[] = {"none", "out", "in"};
    std::string line = R"({"time":")" + c.time + R"(","drive":)" + TraceJsonString(c.drive) + R"(,"cdb":")";
    if (c.cdb) AppendHex(line, c.cdb, c.cdbLength);
    line += R"(","dir":")";
    line += c.direction >= 0 && c.direction <= 2 ? kDirections[c.direction] : "bad";
    line += R"(","requested":)" + std::to_string(c.requested);
    if (c.direction == kDirToFrame) AppendData(line, c.data, c.requested);
    if (!c.ended) return line + R"(,"pending":true})";
    line += R"(,"returned":)" + std::to_string(c.outcome.transferred);
    line += R"(,"status":)" + (c.outcome.completed ? std::to_string(c.outcome.status) : std::string("null"));
    line += R"(,"us":)" + std::to_string(c.micros);
    if (c.direction == kDirFromFrame)
        AppendData(line, c.data, c.outcome.transferred <= c.requested ? c.outcome.transferred : c.requested);
    return line + "}";
}

std::shared_ptr<CCommandTrace> CCommandTrace::Open(const std::string& path, const std::string& program,
                                                   std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write the command trace " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // Appended to, not cut: a second program run may trace into the same file after the first.
    const off_t end = ::lseek(fd, 0, SEEK_END);
    std::shared_ptr<CCommandTrace> trace(new CCommandTrace(fd, path, end >= 0, end >= 0 ? end : 0));
    const std::string first = R"({"time":")" + TraceTimeNow() + R"(","program":)" + TraceJsonString(program) +
                              R"(,"version":)" + TraceJsonString(FOTOLUME_VERSION) +
                              R"(,"pid":)" + std::to_string(::getpid()) + "}";
    std::lock_guard<std::mutex> lock(trace->m_lock);
    if (!trace->Append(first, nullptr)) {
        error = "cannot write the command trace " + path + ": " + trace->m_problem;
        return nullptr;
    }
    return trace;
}

CCommandTrace::CCommandTrace(int fd, std::string path, bool seekable, int64_t end)
    : m_fd(fd), m_path(std::move(path)), m_seekable(seekable), m_end(end) {}

CCommandTrace::~CCommandTrace() { ::close(m_fd); }

bool CCommandTrace::Append(const std::string& line, int64_t* offset) {
    if (!m_problem.empty()) return false;  // one failure ends the trace rather than leaving holes
    std::string out = line + "\n";
    const int64_t at = m_seekable ? m_end : -1;
    if (!WriteAt(m_fd, out.data(), out.size(), at)) {
        Failed("write");
        return false;
    }
    if (offset) *offset = at;
    m_end += static_cast<int64_t>(out.size());
    return true;
}

void CCommandTrace::Failed(const char* what) {
    if (m_problem.empty()) m_problem = std::string(what) + ": " + std::strerror(errno ? errno : EIO);
}

CCommandTrace::Slot CCommandTrace::Begin(TracedCommand& command) {
    Slot slot;
    command.time = TraceTimeNow();
    command.ended = false;
    if (m_seekable) {
        // The pending line is padded to the room its final form needs, so that it can be completed in
        // place; JSON allows the spaces after the closing brace.
        std::string line = FormatTracedCommand(command);
        slot.size = line.size() + EndRoom(command);
        line.resize(slot.size, ' ');
        std::lock_guard<std::mutex> lock(m_lock);
        if (!Append(line, &slot.offset)) slot.offset = -1;
    }
    slot.start = std::chrono::steady_clock::now();
    return slot;
}

void CCommandTrace::End(const Slot& slot, TracedCommand& command) {
    command.ended = true;
    command.micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - slot.start).count();
    std::string line = FormatTracedCommand(command);
    if (slot.offset >= 0 && line.size() <= slot.size) {
        line.resize(slot.size, ' ');
        if (!WriteAt(m_fd, line.data(), line.size(), slot.offset)) {
            std::lock_guard<std::mutex> lock(m_lock);
            Failed("write");
        }
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    Append(line, nullptr);
}

void CCommandTrace::Note(const std::string& drive, const std::string& fields) {
    std::string line = R"({"time":")" + TraceTimeNow() + R"(","drive":)" + TraceJsonString(drive) + fields + "}";
    std::lock_guard<std::mutex> lock(m_lock);
    Append(line, nullptr);
}

std::string CCommandTrace::Problem() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_problem;
}

}  // namespace fotolume::device
