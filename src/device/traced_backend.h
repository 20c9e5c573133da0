// A drive back-end that writes every command its drives are sent into a command trace, and otherwise
// does exactly what the back-end it wraps does. Without a trace nothing is wrapped.
#pragma once

#include <memory>
#include <string>

#include "device/command_trace.h"
#include "device/drive_backend.h"

namespace fotolume::device {

class CTracedBackend : public IDriveBackend {
public:
    CTracedBackend(std::unique_ptr<IDriveBackend> inner, std::shared_ptr<CCommandTrace> trace);

    bool StartMonitor() override { return m_inner->StartMonitor(); }
    int NotificationFd() const override { return m_inner->NotificationFd(); }
    void ConsumeNotification() override { m_inner->ConsumeNotification(); }
    std::vector<std::string> ListDrives() override { return m_inner->ListDrives(); }
    // The drive, traced; an open that fails is a line of the trace too.
    std::unique_ptr<IDriveHandle> OpenDrive(const std::string& name) override;
    std::string LastProblem() const override { return m_inner->LastProblem(); }
    std::vector<DriveCandidate> SurveyDrives() override { return m_inner->SurveyDrives(); }

private:
    std::unique_ptr<IDriveBackend> m_inner;
    std::shared_ptr<CCommandTrace> m_trace;
};

// The trace every drive of this process goes into (set once at start, before any drive is opened), or
// nullptr.
std::shared_ptr<CCommandTrace> ProcessTrace();
void SetProcessTrace(std::shared_ptr<CCommandTrace> trace);

// backend wrapped into the process's trace, or backend itself when there is none.
std::unique_ptr<IDriveBackend> TraceIfAsked(std::unique_ptr<IDriveBackend> backend);

// Takes "--trace FILE" and "--trace=FILE" out of argv, so that the program's own parsing never sees
// them; without one, the environment variable envName (when not null) names the file. Opens that trace
// for the process. False, with a one-line error, when the option lacks its file or the file cannot be
// written; true when a trace is open or none was asked for.
bool StartCommandTrace(int& argc, char** argv, const std::string& program, const char* envName,
                       std::string& error);

}  // namespace fotolume::device
