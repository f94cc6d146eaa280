// kavo3tool: the tool against a real unit on USB.
#include "app/Program.h"
#include "link/linux/HidrawTransport.h"

int main(int argc, char** argv) {
    kavo3::link::HidrawTransport transport;
    return kavo3::app::runProgram(argc, argv, transport);
}
