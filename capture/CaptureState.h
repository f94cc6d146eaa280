// What the capture window keeps for the whole run; the main window owns it, so the last
// frame survives closing and reopening the window.
#pragma once

#include <cstdint>

#include "capture/Frame.h"
#include "capture/FrameInformation.h"

namespace kavo3::capture {

struct CaptureState {
    // The freeze state this window last sent to the unit; 0 again whenever the window loads.
    std::int16_t FreezeOn = 0;
    // Set by the stop button; the running capture ends after its current line.
    std::int16_t StopRequested = 0;
    // From the latest Frame information answer, accepted or not.
    FrameSizes sizes;
    // The last accepted frame, which a save writes; empty until a frame was accepted.
    Frame frame;
};

}  // namespace kavo3::capture
