#include "link/DeviceEvents.h"

#include <algorithm>
#include <cctype>

#include "link/DeviceLink.h"

namespace kavo3::link {

bool mayBeUnit(const DeviceEvent& event) {
    return !event.identity || isKavo3Identity(event.identity->VendorID, event.identity->ProductID);
}

bool sameInterface(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace kavo3::link
