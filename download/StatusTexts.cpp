#include "download/StatusTexts.h"

namespace kavo3::download {

std::string hexText(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buf[8];
    char* p = buf + sizeof buf;
    do {
        *--p = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return std::string(p, buf + sizeof buf);
}

std::string progressText(std::uint32_t offset) { return hexText(offset) + "byte"; }

std::string verdictText(std::uint16_t romSum, std::uint16_t fileSum) {
    const std::string rom = hexText(romSum);
    const std::string file = hexText(fileSum);
    if (romSum != fileSum) return "Write error  rom=" + rom + " file=" + file;
    const std::string padded = "000000" + file;
    return "Chack sum=" + padded.substr(padded.size() - 4) + "  Write OK  rom=" + rom +
           " file=" + file;
}

std::string writeErrorText(const std::string& reason) { return "Write error  " + reason; }

}  // namespace kavo3::download
