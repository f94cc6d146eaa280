#include "capture/CaptureSequence.h"

#include <span>

#include "capture/LineAssembler.h"
#include "link/Protocol.h"

namespace kavo3::capture {

namespace protocol = link::protocol;

bool unitInCaptureSetting(link::Conversation& talk) {
    const link::Reply reply = talk.exchange(talk.following(protocol::kFrameInformation));
    return reply.answered && protocol::frameInformation(reply).fpgaSelect == protocol::kFpgaSelectB2;
}

bool sendFreeze(link::Conversation& talk, std::int16_t freezeOn) {
    const bool taken =
        talk.sendClosing(talk.following(protocol::kFreeze, static_cast<std::uint8_t>(freezeOn)));
    talk.read();
    return taken;
}

FrameSizes requestFrameInformation(link::Conversation& talk) {
    return frameSizes(protocol::frameInformation(talk.exchange(talk.following(protocol::kFrameInformation))));
}

LinesEnd readFrameLines(link::Conversation& talk, const FrameSizes& sizes, Frame& frame,
                        const LineLoopCallbacks& callbacks) {
    const int reports = reportsPerLine(sizes.LineStride);
    for (std::int32_t y = 0; y < sizes.FrameHeight; ++y) {
        talk.send(talk.following(protocol::kLineData, static_cast<std::uint8_t>(reports)));

        LineAssembler line(frame.row(y), sizes.ActiveWidth);
        for (int r = 0; r < reports; ++r) {
            // A unit that gave no answer will not give the rest of the line either: asking
            // for it would cost the whole wait for every report of the frame.
            // (A unit that left answers nothing at once; the line ends as UnitLost below.)
            const link::Reply reply = talk.read();
            if (!reply.answered && talk.live()) return LinesEnd::Silent;
            line.add(reply.data());
            if (r + 1 < reports && callbacks.stopNow && callbacks.stopNow())
                return LinesEnd::Stopped;
        }
        line.finish();

        if (callbacks.lineDone && !callbacks.lineDone(y)) return LinesEnd::Abandoned;
        // Lines of another attachment would only join two units' pictures in one frame.
        if (!talk.live()) return LinesEnd::UnitLost;
        if (callbacks.stopRequested && callbacks.stopRequested()) {
            return y + 1 < sizes.FrameHeight ? LinesEnd::Stopped : LinesEnd::Complete;
        }
    }
    return LinesEnd::Complete;
}

namespace {

// The unit frozen by a capture that means to let it go again: noted in its ledger until the
// freeze goes back, so that a capture ended any other way still leaves the unit live.
class FreezeNoted {
  public:
    FreezeNoted(link::Conversation& talk, bool noted) : talk_(talk), noted_(noted) {
        if (noted_) talk_.ledger().setFrozen(talk_.unit(), true);
    }
    ~FreezeNoted() {
        // Ended without its restore (an exception): released here, or once the unit is back.
        if (noted_ && talk_.live()) released(sendFreeze(talk_, 0));
    }
    // The restoring Freeze 0 was taken (its answer says nothing): the unit is live again.
    void released(bool taken) {
        if (noted_ && taken) talk_.ledger().setFrozen(talk_.unit(), false);
        noted_ = false;
    }

  private:
    link::Conversation& talk_;
    bool noted_;
};

}  // namespace

CaptureResult captureFrame(link::Conversation& talk, std::int16_t freezeAfter, Frame& frame,
                           const CaptureCallbacks& callbacks) {
    // The picture must stand still while it is read out.
    FreezeNoted noted(talk, freezeAfter == 0 && !talk.unit().empty());
    sendFreeze(talk, 1);
    CaptureResult result;
    result.sizes = requestFrameInformation(talk);
    result.accepted = result.sizes.accepted();
    if (callbacks.frameInformation) callbacks.frameInformation(result.sizes);
    if (result.accepted) {
        frame = Frame(result.sizes.FrameWidth, result.sizes.FrameHeight);
        result.end = readFrameLines(talk, result.sizes, frame, callbacks.lines);
    }
    result.whole = talk.whole();
    if (result.end != LinesEnd::Abandoned && callbacks.beforeRestore)
        callbacks.beforeRestore(result);
    noted.released(sendFreeze(talk, freezeAfter));
    return result;
}

}  // namespace kavo3::capture
