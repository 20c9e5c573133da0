// Argument parsing of fotolume-sim, kept apart from main so that it can be tested.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/flash_emulator.h"
#include "sim/frame_image.h"

namespace fotolume::sim {

// "2M", "512K", "0x10000", "65536". False for anything else or a value above max.
bool ParseNumber(const std::string& text, uint64_t max, uint64_t& value);
// "128x128".
bool ParsePanel(const std::string& text, uint16_t& width, uint16_t& height);

// The most pictures a picture list holds.
inline constexpr int kMaxDemoPictures = 509;

struct CreateArgs {
    std::string image;
    NewFrame frame;
    int demo = 0;  // test cards to put into the new frame's album
};
struct ServeArgs {
    std::string image;
    std::string socket;
    CFlashEmulator::Options options;
    FlashFaults faults;
    bool realTime = false;  // each command takes the time a typical frame's would
};

// Fills out from scratch. Empty text when the arguments (those after the subcommand) are good, else
// the error line.
std::string ParseCreateArgs(const std::vector<std::string>& args, CreateArgs& out);
std::string ParseServeArgs(const std::vector<std::string>& args, ServeArgs& out);

}  // namespace fotolume::sim
