#include "remote/RemoteKeys.h"

#include <array>

namespace kavo3::remote {

namespace {

using G = KeyGroup;
using P = KeyPicture;
using F = KeyFace;
constexpr std::optional<std::uint8_t> kNone = std::nullopt;

// Listed as the keys sit on the remote, top to bottom.
constexpr std::array<RemoteKey, 36> kKeys{{
    // Top row.
    {"Command18", G::Window, 120, 120, 735, 615, "電源", "", kNone, P::Power, F::Power, "power"},
    {"Command17", G::Window, 1440, 240, 615, 495, "ステータス", "", 0x01, P::Large, F::Text, "status"},
    {"Command19", G::Window, 2520, 240, 615, 495, "PC/AV", "", 0x17, P::Large, F::Text, "pc-av"},
    // Input selection.
    {"Command33", G::Frame1, 120, 1200, 615, 255, "ビデオ1", "入力切替", 0x1B, P::Small, F::Text, "video1"},
    {"Command34", G::Frame1, 960, 1200, 615, 255, "ビデオ2", "入力切替", 0x02, P::Small, F::Text, "video2"},
    {"Command35", G::Frame1, 1800, 1200, 615, 255, "S入力1", "入力切替", 0x1E, P::Small, F::Text, "s-input1"},
    {"Command36", G::Frame1, 2640, 1200, 615, 255, "S入力2", "入力切替", 0x16, P::Small, F::Text, "s-input2"},
    {"Command29", G::Frame1, 120, 1560, 615, 255, "D入力1", "入力切替", 0x1C, P::Small, F::Text, "d-input1"},
    {"Command30", G::Frame1, 960, 1560, 615, 255, "D入力2", "入力切替", 0x1D, P::Small, F::Text, "d-input2"},
    {"Command31", G::Frame1, 1800, 1560, 615, 255, "D入力3", "入力切替", 0x4F, P::Small, F::Text, "d-input3"},
    {"Command32", G::Frame1, 2640, 1560, 615, 255, "ゲーム", "入力切替", 0x50, P::Small, F::Text, "game"},
    // Cursor pad with the corner keys.
    {"Command20", G::Frame3, 220, 2280, 375, 375, "↖", "", 0x51, P::Corner, F::CornerTopLeft, "up-left"},
    {"Command21", G::Frame3, 1420, 2280, 615, 495, "▲", "", 0x0C, P::Large, F::Up, "up"},
    {"Command27", G::Frame3, 2860, 2280, 375, 375, "↗", "", 0x52, P::Corner, F::CornerTopRight, "up-right"},
    {"Command24", G::Frame3, 580, 2880, 615, 495, "◀", "", 0x08, P::Large, F::Left, "left"},
    {"Command22", G::Frame3, 1420, 2880, 615, 495, "PC in P", "", 0x03, P::Large, F::Text, "pc-in-p"},
    {"Command25", G::Frame3, 2260, 2880, 615, 495, "▶", "", 0x04, P::Large, F::Right, "right"},
    {"Command23", G::Frame3, 1420, 3480, 615, 495, "▼", "", 0x10, P::Large, F::Down, "down"},
    {"Command26", G::Frame3, 220, 3600, 375, 375, "↙", "", 0x53, P::Corner, F::CornerBottomLeft, "down-left"},
    {"Command28", G::Frame3, 2860, 3600, 375, 375, "↘", "", 0x54, P::Corner, F::CornerBottomRight, "down-right"},
    // Size pair.
    {"Command15", G::Window, 960, 4320, 615, 255, "小", "サイズ", 0x40, P::Small, F::Text, "size-small"},
    {"Command14", G::Window, 1800, 4320, 615, 255, "大", "サイズ", 0x49, P::Small, F::Text, "size-large"},
    // Function row.
    {"Command5", G::Window, 120, 4920, 615, 255, "ガイド", "", 0x4B, P::Small, F::Text, "guide"},
    {"Command6", G::Window, 960, 4920, 615, 255, "静止", "", 0x4C, P::Small, F::Text, "still"},
    {"Command7", G::Window, 1800, 4920, 615, 255, "PCマッチ", "", 0x4D, P::Small, F::Text, "pc-match"},
    {"Command8", G::Window, 2640, 4920, 615, 255, "アスペクト", "", 0x4E, P::Small, F::Text, "aspect"},
    // Menu row.
    {"Command1", G::Window, 120, 5520, 615, 495, "メニュー", "", 0x05, P::Large, F::Text, "menu"},
    {"Command2", G::Window, 960, 5520, 615, 495, "▲/◀", "", 0x06, P::Large, F::UpOrLeft, "menu-up-left"},
    {"Command3", G::Window, 1800, 5520, 615, 495, "▼/▶", "", 0x07, P::Large, F::DownOrRight, "menu-down-right"},
    {"Command4", G::Window, 2640, 5520, 615, 495, "OK", "", 0x18, P::Large, F::Text, "ok"},
    // Headphones.
    {"Command9", G::Frame2, 240, 7800, 615, 255, "ラウド", "ヘッドホン", 0x42, P::Small, F::Text, "loud"},
    {"Command10", G::Frame2, 960, 7800, 615, 255, "消音", "ヘッドホン", 0x43, P::Small, F::Text, "mute"},
    {"Command11", G::Frame2, 1680, 7800, 615, 255, "大", "音量", 0x44, P::Small, F::Text, "volume-up"},
    {"Command13", G::Frame2, 1680, 8360, 615, 255, "小", "音量", 0x47, P::Small, F::Text, "volume-down"},
    // Mixer pair.
    {"Command12", G::Window, 2640, 7780, 615, 255, "AV", "ミキサ", 0x45, P::Small, F::Text, "mixer-av"},
    {"Command16", G::Window, 2640, 8350, 615, 255, "PC", "ミキサ", 0x48, P::Small, F::Text, "mixer-pc"},
}};

}  // namespace

std::span<const RemoteKey> remoteKeys() { return kKeys; }

const RemoteKey* findRemoteKey(std::string_view name) {
    for (const auto& key : kKeys)
        if (key.name == name) return &key;
    return nullptr;
}

const RemoteKey* findRemoteKeyByShortName(std::string_view shortName) {
    for (const auto& key : kKeys)
        if (key.shortName == shortName) return &key;
    return nullptr;
}

const RemoteKey* findRemoteKeyByCode(std::uint8_t code) {
    for (const auto& key : kKeys)
        if (key.code == code) return &key;
    return nullptr;
}

}  // namespace kavo3::remote
