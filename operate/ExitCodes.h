// The exit status of kavo3cli; README and the man page list the same table. The download
// outcomes map onto it here, below both front ends.
#pragma once

namespace kavo3::operate {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,             // an output file or the trace could not be written
    kExitNoUnit = 2,              // no unit, not permitted, in use elsewhere, no answer, or it left
    kExitRefusedFile = 3,         // the input file cannot be read or is not acceptable
    kExitChecksumMismatch = 4,    // the unit's checksum differs from the file's
    kExitChecksumNeverReady = 5,  // the unit never said its checksum was ready
    kExitRejectedFrame = 6,       // no usable input picture, or a size outside the range
    kExitNotCaptureSetting = 7,   // the unit's FPGA SELECT is not B2
    kExitOutOfReach = 8,          // timing registers out of reach at the unit's block address
    kExitUsage = 64,              // bad command line
    kExitSimulatedUnitSaw = 70,   // --sim: the simulated unit saw a report where it does not belong
    kExitInterrupted = 130,       // stopped by Ctrl-C (SIGTERM, SIGHUP: 128 + their number)
};

}  // namespace kavo3::operate
