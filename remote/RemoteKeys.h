// The keys of the remote-control panel: where each sits, what its face shows and the code it
// sends. Plain data, shared by the window, the command line and their tests.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kavo3::remote {

// The group box a key sits in (its parent in the window), or the window itself.
enum class KeyGroup { Window, Frame1, Frame2, Frame3 };

// Picture sizes in pixels: large 41 x 33, small 41 x 17, corner 25 x 25, power 49 x 41.
enum class KeyPicture { Large, Small, Corner, Power };

struct PictureSize {
    int width;
    int height;
};

constexpr PictureSize pictureSize(KeyPicture picture) {
    switch (picture) {
        case KeyPicture::Large:
            return {41, 33};
        case KeyPicture::Small:
            return {41, 17};
        case KeyPicture::Corner:
            return {25, 25};
        case KeyPicture::Power:
            return {49, 41};
    }
    return {0, 0};
}

// What is drawn on the face: the legend as text, or a symbol standing for it.
enum class KeyFace {
    Text,
    Power,
    Up,
    Down,
    Left,
    Right,
    UpOrLeft,
    DownOrRight,
    CornerTopLeft,
    CornerTopRight,
    CornerBottomLeft,
    CornerBottomRight,
};

struct RemoteKey {
    std::string_view name;  // design name, the button's objectName
    KeyGroup group;
    int left, top, width, height;      // twips, in window coordinates
    std::string_view legend;           // UTF-8; also the button's accessible name
    std::string_view context;          // the label or box that tells keys of equal legend apart
    std::optional<std::uint8_t> code;  // none for the power key, which ends the program
    KeyPicture picture;
    KeyFace face;
    std::string_view shortName;  // ASCII, for the command line: "video1", "volume-up"
};

// All 36 keys.
std::span<const RemoteKey> remoteKeys();

// The key with that design name, or nullptr.
const RemoteKey* findRemoteKey(std::string_view name);

// The key with that short name, or nullptr.
const RemoteKey* findRemoteKeyByShortName(std::string_view shortName);

// The key that sends `code`, or nullptr.
const RemoteKey* findRemoteKeyByCode(std::uint8_t code);

}  // namespace kavo3::remote
