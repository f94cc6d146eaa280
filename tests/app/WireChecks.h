// What must hold on the wire to the unit whatever the windows do, checked report by report:
// between a download's write start and its last data report only that download's data goes
// out, and every Write end repeats bytes 1..7 of a Block write still waiting for its end.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kavo3::app::testing {

class WireChecks {
  public:
    using Command = std::array<std::uint8_t, 8>;

    // The bytes of the file the download now running writes.
    void downloadStarts(std::vector<std::uint8_t> file);
    // A download whose unit left may end inside its data phase: it sends nothing more.
    void downloadEnds(bool unitLeft = false);

    // Every output report, as it reaches the unit.
    void reportWritten(const Command& command);

    bool inDataPhase() const { return dataLeft_ > 0; }
    // What went wrong, in order; empty while everything held.
    const std::vector<std::string>& failures() const { return failures_; }

  private:
    void fail(const std::string& what, const Command& command);

    bool downloading_ = false;
    std::vector<std::uint8_t> file_;
    std::uint32_t dataLeft_ = 0;
    std::uint32_t dataIndex_ = 0;
    std::deque<Command> openBlockWrites_;
    std::vector<std::string> failures_;
};

}  // namespace kavo3::app::testing
