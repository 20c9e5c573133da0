#include "tests/device/drive_rigs.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "device/frames_backend.h"
#include "device/notify_source.h"
#include "device/sg_backend.h"
#include "sim/emulator_backend.h"
#include "sim/frame_server.h"

namespace fotolume::device::testing {

namespace fs = std::filesystem;

bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

void AddSgNode(const std::string& root, const std::string& name, const std::string& deviceDir, const std::string& type,
               const std::string& vendor, const std::string& model) {
    fs::create_directories(deviceDir);
    std::ofstream(deviceDir + "/type") << type << "\n";
    // sysfs pads vendor to 8 and model to 16 characters with spaces.
    std::string v = vendor, m = model;
    v.resize(std::max<size_t>(8, v.size()), ' ');
    m.resize(std::max<size_t>(16, m.size()), ' ');
    std::ofstream(deviceDir + "/vendor") << v << "\n";
    std::ofstream(deviceDir + "/model") << m << "\n";
    const std::string cls = root + "/class/scsi_generic/" + name;
    fs::create_directories(cls);
    fs::create_directory_symlink(deviceDir, cls + "/device");
}

SgOptions OneFrameNode(const std::string& root) {
    AddSgNode(root, "sg3", root + "/devices/pci0000:00/usb1/1-1/1-1:1.0/host4/target4:0:0/4:0:0:0", "5", "ZENTARIS",
              "DPF");
    SgOptions o;
    o.sysfsRoot = root;
    o.devRoot = root + "/dev";
    o.notifications = std::make_unique<CEventNotifier>();
    return o;
}

namespace {

sim::CFlashEmulator::Options Identity(const std::string& vendor, const std::string& product) {
    sim::CFlashEmulator::Options o;
    o.flashSize = 256 * 1024;
    o.vendor = vendor;
    o.product = product;
    return o;
}

// ---- in-process emulators ----

class EmulatorRig : public DriveRig {
public:
    size_t AddDrive(const std::string& vendor, const std::string& product, bool present) override {
        m_emulators.push_back(std::make_unique<sim::CFlashEmulator>(Identity(vendor, product)));
        m_present.push_back(present);
        return m_emulators.size() - 1;
    }
    std::unique_ptr<IDriveBackend> MakeBackend() override {
        std::vector<sim::CFlashEmulator*> drives;
        for (auto& e : m_emulators) drives.push_back(e.get());
        auto backend = std::make_unique<sim::CEmulatorBackend>(drives);
        for (size_t i = 0; i < m_present.size(); ++i)
            if (!m_present[i]) backend->SetAttached(i, false);  // before monitoring: no notification
        m_backend = backend.get();
        return backend;
    }
    void Unplug(size_t d) override { m_backend->SetAttached(d, false); }
    void Plug(size_t d) override { m_backend->SetAttached(d, true); }
    void ForeignChange() override { m_backend->Notify(); }
    sim::CFlashEmulator& Emulator(size_t d) override { return *m_emulators.at(d); }
    size_t Opens(size_t d) override { return m_backend->OpenCount(d); }
    size_t OpenNow(size_t d) override { return m_backend->OpenHandles(d); }
    std::string DriveName(size_t d) override { return "emu" + std::to_string(d); }

private:
    std::vector<std::unique_ptr<sim::CFlashEmulator>> m_emulators;
    std::vector<bool> m_present;
    sim::CEmulatorBackend* m_backend = nullptr;
};

// ---- fake sysfs and SG_IO ----

struct FakeSgDrive {
    std::unique_ptr<sim::CFlashEmulator> emulator;
    std::string vendor, product;
    bool present = true;
    size_t opens = 0, openNow = 0;
};

class FakePassThrough : public ISgPassThrough {
public:
    explicit FakePassThrough(std::string devRoot) : m_devRoot(std::move(devRoot)) {}
    std::map<std::string, FakeSgDrive*> byName;  // "sgN" -> drive

    int Open(const std::string& path) override {
        std::string name = fs::path(path).filename().string();
        auto it = byName.find(name);
        if (fs::path(path).parent_path() != m_devRoot || it == byName.end() || !it->second->present) return -1;
        ++it->second->opens;
        ++it->second->openNow;
        int fd = m_nextFd++;
        m_open[fd] = it->second;
        return fd;
    }
    int SgIo(int fd, sg_io_hdr_t& h) override {
        auto it = m_open.find(fd);
        if (it == m_open.end() || !it->second->present) return -1;  // ENODEV: the drive left
        uint8_t cdb[16] = {};
        std::copy_n(h.cmdp, std::min<int>(h.cmd_len, 16), cdb);
        int direction = h.dxfer_direction == SG_DXFER_TO_DEV ? 1 : h.dxfer_direction == SG_DXFER_FROM_DEV ? 2 : 0;
        uint32_t done = 0;
        h.status = it->second->emulator->Execute(cdb, direction, static_cast<uint8_t*>(h.dxferp), h.dxfer_len, done);
        h.masked_status = static_cast<unsigned char>(h.status >> 1);
        h.host_status = hostStatus;
        h.driver_status = h.status ? 0x08 : 0;
        h.resid = direction == 2 ? static_cast<int>(h.dxfer_len - done) : 0;
        lastHeader = h;
        return 0;
    }
    void Close(int fd) override {
        auto it = m_open.find(fd);
        if (it == m_open.end()) return;
        --it->second->openNow;
        m_open.erase(it);
    }
    sg_io_hdr_t lastHeader{};
    unsigned short hostStatus = 0;

private:
    std::string m_devRoot;
    std::map<int, FakeSgDrive*> m_open;
    int m_nextFd = 100;
};

class SgRig : public SgDriveRig {
public:
    SgRig() : m_pass(std::make_shared<FakePassThrough>(m_dir.String() + "/dev")) {
        fs::create_directories(m_dir.String() + "/sys/class/scsi_generic");
        fs::create_directories(m_dir.String() + "/dev");
    }
    size_t AddDrive(const std::string& vendor, const std::string& product, bool present) override {
        auto d = std::make_unique<FakeSgDrive>();
        d->emulator = std::make_unique<sim::CFlashEmulator>(Identity(vendor, product));
        d->vendor = vendor;
        d->product = product;
        d->present = present;
        size_t index = m_drives.size();
        m_pass->byName[DriveName(index)] = d.get();
        m_drives.push_back(std::move(d));
        if (present) WriteSysfs(index);
        return index;
    }
    std::unique_ptr<IDriveBackend> MakeBackend() override {
        auto notifier = std::make_unique<CEventNotifier>();
        m_notifier = notifier.get();
        SgOptions o;
        o.sysfsRoot = m_dir.String() + "/sys";
        o.devRoot = m_dir.String() + "/dev";
        o.passThrough = m_pass;
        o.notifications = std::move(notifier);
        return std::make_unique<CSgBackend>(std::move(o));
    }
    void Unplug(size_t d) override {
        m_drives.at(d)->present = false;
        fs::remove_all(m_dir.String() + "/sys/class/scsi_generic/" + DriveName(d));
        fs::remove_all(DevicePath(d));
        m_notifier->Notify();
    }
    void Plug(size_t d) override {
        m_drives.at(d)->present = true;
        m_drives.at(d)->emulator->PowerCycle();
        WriteSysfs(d);
        m_notifier->Notify();
    }
    void ForeignChange() override { m_notifier->Notify(); }
    sim::CFlashEmulator& Emulator(size_t d) override { return *m_drives.at(d)->emulator; }
    size_t Opens(size_t d) override { return m_drives.at(d)->opens; }
    size_t OpenNow(size_t d) override { return m_drives.at(d)->openNow; }
    // sg2, sg10, sg18: numeric order differs from text order.
    std::string DriveName(size_t d) override { return "sg" + std::to_string(2 + 8 * d); }

    // A SCSI generic node of any type and bus, outside the rig's drive list.
    void AddRawDevice(const std::string& name, const std::string& type, bool usb,
                      const std::string& vendor) override {
        std::string dev = m_dir.String() + "/sys/devices/pci0000:00/" + (usb ? "usb3/3-9/3-9:1.0" : "ata2") +
                          "/host9/target9:0:0/" + name;
        AddSgNode(m_dir.String() + "/sys", name, dev, type, vendor, "RAW");
        auto d = std::make_unique<FakeSgDrive>();
        d->emulator = std::make_unique<sim::CFlashEmulator>(Identity(vendor, "RAW"));
        m_pass->byName[name] = d.get();
        m_raw[name] = std::move(d);
    }
    size_t RawOpens(const std::string& name) override { return m_raw.at(name)->opens; }
    uint64_t RawCommands(const std::string& name) override { return m_raw.at(name)->emulator->CommandCount(); }
    sg_io_hdr_t LastHeader() override { return m_pass->lastHeader; }
    void SetHostStatus(unsigned short status) override { m_pass->hostStatus = status; }

private:
    std::string DevicePath(size_t d) {
        return m_dir.String() + "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(d + 1) + "/1-" +
               std::to_string(d + 1) + ":1.0/host" + std::to_string(d + 4) + "/target" + std::to_string(d + 4) +
               ":0:0/" + std::to_string(d + 4) + ":0:0:0";
    }
    void WriteSysfs(size_t d) {
        AddSgNode(m_dir.String() + "/sys", DriveName(d), DevicePath(d), "5", m_drives[d]->vendor, m_drives[d]->product);
    }

    TempDir m_dir;
    std::shared_ptr<FakePassThrough> m_pass;
    std::vector<std::unique_ptr<FakeSgDrive>> m_drives;
    std::map<std::string, std::unique_ptr<FakeSgDrive>> m_raw;
    CEventNotifier* m_notifier = nullptr;
};

// ---- frames folder with served sockets ----

struct ServedDrive {
    std::unique_ptr<sim::CFlashEmulator> emulator;
    std::unique_ptr<sim::CFrameServer> server;
    std::thread thread;
    int stopFd = -1;
    size_t earlierOpens = 0;
};

class FramesRig : public DriveRig {
public:
    ~FramesRig() override {
        for (size_t i = 0; i < m_drives.size(); ++i) Stop(i);
    }
    size_t AddDrive(const std::string& vendor, const std::string& product, bool present) override {
        auto d = std::make_unique<ServedDrive>();
        d->emulator = std::make_unique<sim::CFlashEmulator>(Identity(vendor, product));
        m_drives.push_back(std::move(d));
        if (present) Start(m_drives.size() - 1);
        return m_drives.size() - 1;
    }
    std::unique_ptr<IDriveBackend> MakeBackend() override { return std::make_unique<CFramesBackend>(m_dir.String()); }
    void Unplug(size_t d) override { Stop(d); }
    void Plug(size_t d) override {
        m_drives.at(d)->emulator->PowerCycle();
        Start(d);
    }
    void ForeignChange() override {
        std::ofstream(m_dir.String() + "/other-" + std::to_string(m_foreign++) + ".txt") << "x";
    }
    sim::CFlashEmulator& Emulator(size_t d) override { return *m_drives.at(d)->emulator; }
    size_t Opens(size_t d) override {
        ServedDrive& s = *m_drives.at(d);
        return s.earlierOpens + (s.server ? s.server->Connections() : 0);
    }
    size_t OpenNow(size_t d) override {
        ServedDrive& s = *m_drives.at(d);
        // The server notices a closed connection on its next poll round.
        for (int i = 0; i < 200 && s.server && s.server->OpenConnections() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return s.server ? s.server->OpenConnections() : 0;
    }
    std::string DriveName(size_t d) override { return std::string("frame-") + char('a' + d) + ".sock"; }

private:
    void Start(size_t d) {
        ServedDrive& s = *m_drives[d];
        s.server = std::make_unique<sim::CFrameServer>(*s.emulator, m_dir.String() + "/" + DriveName(d));
        std::string error;
        if (!s.server->Listen(error)) std::abort();
        s.stopFd = ::eventfd(0, EFD_CLOEXEC);
        s.thread = std::thread([&s] { s.server->Serve(s.stopFd); });
    }
    void Stop(size_t d) {
        ServedDrive& s = *m_drives[d];
        if (!s.server) return;
        uint64_t one = 1;
        if (::write(s.stopFd, &one, sizeof one) < 0) std::abort();
        s.thread.join();
        ::close(s.stopFd);
        s.earlierOpens += s.server->Connections();
        s.server.reset();
    }

    TempDir m_dir;
    std::vector<std::unique_ptr<ServedDrive>> m_drives;
    int m_foreign = 0;
};

}  // namespace

std::unique_ptr<DriveRig> MakeEmulatorRig() { return std::make_unique<EmulatorRig>(); }
std::unique_ptr<SgDriveRig> MakeSgRig() { return std::make_unique<SgRig>(); }
std::unique_ptr<DriveRig> MakeFramesRig() { return std::make_unique<FramesRig>(); }

}  // namespace fotolume::device::testing
