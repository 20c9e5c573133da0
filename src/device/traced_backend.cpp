#include "device/traced_backend.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "device/device_types.h"

namespace fotolume::device {

namespace {

class TracedDrive : public IDriveHandle {
public:
    TracedDrive(std::unique_ptr<IDriveHandle> inner, std::string name, std::shared_ptr<CCommandTrace> trace)
        : m_inner(std::move(inner)), m_name(std::move(name)), m_trace(std::move(trace)) {}

    CommandOutcome Execute(const uint8_t* cdb, uint8_t cdbLength, int direction, uint8_t* data, uint32_t length,
                           uint32_t timeoutMs) override {
        TracedCommand command;
        command.drive = m_name;
        command.cdb = cdb;
        command.cdbLength = cdbLength;
        command.direction = direction;
        command.requested = direction == kDirNone ? 0 : length;
        command.data = data;
        const CCommandTrace::Slot slot = m_trace->Begin(command);
        command.outcome = m_inner->Execute(cdb, cdbLength, direction, data, length, timeoutMs);
        m_trace->End(slot, command);
        return command.outcome;
    }

    bool QueryIdentity(DriveIdentity& identity) override {
        const bool answered = m_inner->QueryIdentity(identity);
        if (!answered) {
            m_trace->Note(m_name, R"(,"identity":null)");
        } else {
            m_trace->Note(m_name, R"(,"identity":{"usb":)" + std::string(identity.usb ? "true" : "false") +
                                      R"(,"vendor":)" + TraceJsonString(identity.vendor) +
                                      R"(,"product":)" + TraceJsonString(identity.product) + "}");
        }
        return answered;
    }

private:
    std::unique_ptr<IDriveHandle> m_inner;
    std::string m_name;
    std::shared_ptr<CCommandTrace> m_trace;
};

std::mutex g_processTraceLock;
std::shared_ptr<CCommandTrace> g_processTrace;

}  // namespace

CTracedBackend::CTracedBackend(std::unique_ptr<IDriveBackend> inner, std::shared_ptr<CCommandTrace> trace)
    : m_inner(std::move(inner)), m_trace(std::move(trace)) {}

std::unique_ptr<IDriveHandle> CTracedBackend::OpenDrive(const std::string& name) {
    std::unique_ptr<IDriveHandle> drive = m_inner->OpenDrive(name);
    if (!drive) {
        const std::string problem = m_inner->LastProblem();
        m_trace->Note(name, R"(,"open":false,"problem":)" + TraceJsonString(problem.empty() ? "unknown" : problem));
        return nullptr;
    }
    m_trace->Note(name, R"(,"open":true)");
    return std::make_unique<TracedDrive>(std::move(drive), name, m_trace);
}

std::shared_ptr<CCommandTrace> ProcessTrace() {
    std::lock_guard<std::mutex> lock(g_processTraceLock);
    return g_processTrace;
}

void SetProcessTrace(std::shared_ptr<CCommandTrace> trace) {
    std::lock_guard<std::mutex> lock(g_processTraceLock);
    g_processTrace = std::move(trace);
}

std::unique_ptr<IDriveBackend> TraceIfAsked(std::unique_ptr<IDriveBackend> backend) {
    std::shared_ptr<CCommandTrace> trace = ProcessTrace();
    if (!trace || !backend) return backend;
    return std::make_unique<CTracedBackend>(std::move(backend), std::move(trace));
}

bool StartCommandTrace(int& argc, char** argv, const std::string& program, const char* envName,
                       std::string& error) {
    std::string path;
    bool given = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--trace") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = "--trace needs a file to write the command trace to";
                return false;
            }
            path = argv[++i];
            given = true;
        } else if (std::strncmp(a, "--trace=", 8) == 0) {
            path = a + 8;
            given = true;
            if (path.empty()) {
                error = "--trace needs a file to write the command trace to";
                return false;
            }
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    if (!given && envName) {
        if (const char* env = std::getenv(envName)) path = env;
    }
    if (path.empty()) return true;
    std::shared_ptr<CCommandTrace> trace = CCommandTrace::Open(path, program, error);
    if (!trace) return false;
    SetProcessTrace(std::move(trace));
    return true;
}

}  // namespace fotolume::device
