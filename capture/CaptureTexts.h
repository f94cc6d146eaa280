// The texts of the capture window's Text1, in UTF-8, for the window and kavo3cli alike.
#pragma once

#include <string>

#include "capture/FrameInformation.h"

namespace kavo3::capture {

// After the window's load, with the unit in the capture setting.
inline constexpr const char* kReadyText =
    "KAVO-3 Capture 準備完了\r\n"
    "キャプチャー操作中は本体やリモコンのボタンを操作しないでください。";
// After the window's load, with any other FPGA SELECT (or no answer at all).
inline constexpr const char* kWrongSettingText =
    "KAVO-3 FPGA SELECTをB2にしてください。 \r\n"
    "KAVO-3と本アプリを再スタートしてください。";
// A frame without usable input, or of a size outside the range.
inline constexpr const char* kRejectedText = "入力映像が無いか、不適切です。";
// The unit left (or came back) during a capture: the lines read are not a whole frame.
inline constexpr const char* kUnitLostText =
    "キャプチャー中に本体との接続が切れました。画像は保存されません。";
inline constexpr const char* kSaveFailedText = "BMPファイルを保存できませんでした。";
inline constexpr const char* kNoFrameText = "保存する画像がありません。";

// "画面情報：水平SIZE= 720dot , 垂直SIZE= 480dot , RGB　24bit"
inline std::string sizeText(const FrameSizes& s) {
    return "画面情報：水平SIZE= " + std::to_string(s.FrameWidth) +
           "dot , 垂直SIZE= " + std::to_string(s.FrameHeight) + "dot , RGB　24bit";
}

}  // namespace kavo3::capture
