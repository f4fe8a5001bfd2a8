// Tells a press that completes a double-click from an ordinary one, the way
// the program's windows expect: the second press of a double-click is not a
// press. GTK reports it as a press and then again as a double press; only
// the first report is looked at here.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace qinvara::forms {

class DoubleClickDetector {
  public:
    DoubleClickDetector(std::uint32_t maxIntervalMs, int maxDistance)
        : maxIntervalMs_(maxIntervalMs), maxDistance_(maxDistance) {}

    // `target` identifies what was pressed; coordinates are on the screen.
    bool IsSecondPress(const void* target, std::uint32_t timeMs, int x, int y) {
        bool second = havePrevious_ && target == target_ && timeMs - timeMs_ <= maxIntervalMs_ &&
                      std::abs(x - x_) <= maxDistance_ && std::abs(y - y_) <= maxDistance_;
        // A third press starts over, as after any completed double-click.
        havePrevious_ = !second;
        target_ = target;
        timeMs_ = timeMs;
        x_ = x;
        y_ = y;
        return second;
    }

  private:
    std::uint32_t maxIntervalMs_;
    int maxDistance_;
    bool havePrevious_ = false;
    const void* target_ = nullptr;
    std::uint32_t timeMs_ = 0;
    int x_ = 0, y_ = 0;
};

}  // namespace qinvara::forms
