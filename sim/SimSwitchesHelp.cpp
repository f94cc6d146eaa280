#include "sim/SimSwitchesHelp.h"

namespace kavo3::sim {

const char* simSwitchesHelp() {
    return "  size=WxH      picture of W x H pixels (1 to 32767 each)\n"
           "  hvalue=N      frame information reports N as the horizontal value\n"
           "  vvalue=N      the same for the vertical value\n"
           "  fpga=N        FPGA SELECT setting N (2 is B2, the capture setting)\n"
           "  noinput       no usable input picture\n"
           "  noanswer[=N]  takes every report but answers none (after its first N)\n"
           "  zeros         every answer is 64 zero bytes\n"
           "  late[=N]      every answer (after the first N) arrives just after the read's wait\n"
           "  samepath      a unit plugged in again comes back at the path it left\n"
           "  unplug=N      gone after N output reports (0: not present at start)\n"
           "  replug=MS     with unplug: back MS milliseconds after leaving, at another path\n"
           "  restart       with replug: back restarted, not still expecting a download's data\n"
           "  busy[=PID]    another program holds the unit (its process number, if known)\n"
           "  refuse=N      the system does not take output report N (1 = the first)\n"
           "  refusals=K    with refuse: K output reports in a row are not taken\n"
           "  keep=FILE     the unit keeps what it is in the middle of (and its flash) in FILE\n"
           "                between programs, as a unit stays powered when its program dies\n"
           "  stall=N       from output report N on the endpoint stalls, until replugged\n"
           "  units=N       N units on one bench, each with its own flash and link (1 to 64)\n"
           "  corrupt       flash writes lose a bit now and then\n"
           "  polls=N|never the checksum is ready after N status polls, or never\n"
           "  usb           every report takes 1 ms each way, as on full-speed USB\n"
           "  delay=US      every report takes US microseconds each way\n"
           "  base=N        low byte of the timing block address (default 0x20)\n"
           "  basehigh=N    high byte of the timing block address (default 0x01)\n"
           "  extra=N       N other HID interfaces listed before the unit\n"
           "  id=VVVV:PPPP  the unit's vendor and product identifier (default 17a7:0001)\n";
}

const char* simTestSwitchesHelp() {
    return "  hostwait=MS   the host's read wait with the simulated unit (default 1000)\n"
           "  unchecked     the unit's own view of the wire reports nothing it sees wrong\n"
           "  coarse        with usb or delay: that pace kept by sleeping alone (no CPU spent)\n"
           "  hold=N[/M..]  holds on to output report N until the program hears a stop signal\n"
           "                (and on to report M until it hears a second one)\n";
}

}  // namespace kavo3::sim
