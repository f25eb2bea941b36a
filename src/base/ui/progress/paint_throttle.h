// One paint of the progress page's label and gauge per screen refresh. A run of many small files
// names and counts each one, hundreds a second, while a person cannot see a picture that lasts
// less than a refresh (16 ms): the window stores each new state here and paints only when the
// last paint is 16 ms old or more, or when it must show the current state now (before a
// question, before the gauge is hidden, before the page changes).
//
//   PaintThrottle throttle(clock, {paintLabel, paintPosition});
//   throttle.SetLabel(L"Файл: a.dll");  // stored
//   throttle.PaintIfDue();               // painted if the last paint is 16 ms old (or none yet)
//   throttle.Flush();                    // painted now, whatever the time
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace base {

class PaintThrottle {
 public:
  // A monotonic clock (the window's counts QueryPerformanceCounter; tests give their own).
  using Clock = std::function<std::chrono::microseconds()>;
  // What paints each part.
  struct Painters {
    std::function<void(const std::wstring&)> label;
    std::function<void(std::int32_t)> position;
  };
  // The shortest time between two paints: one refresh at 60 Hz, rounded down.
  static constexpr std::chrono::milliseconds kInterval{16};

  PaintThrottle(Clock clock, Painters painters)
      : clock_(std::move(clock)), painters_(std::move(painters)) {}

  void UseClock(Clock clock) { clock_ = std::move(clock); }

  // The new state, stored until the next paint; a newer one replaces it.
  void SetLabel(std::wstring text) { label_ = std::move(text); }
  void SetPosition(std::int32_t position) { position_ = position; }
  bool Pending() const { return label_ || position_; }

  // Paints what is stored when the last paint is kInterval old or more, or there was none.
  // Whether it painted.
  bool PaintIfDue() {
    if (!Pending()) return false;
    const auto now = clock_();
    if (lastPaint_ && now - *lastPaint_ < kInterval) return false;
    Paint(now);
    return true;
  }
  // Paints what is stored now.
  void Flush() {
    if (Pending()) Paint(clock_());
  }

 private:
  void Paint(std::chrono::microseconds now) {
    // Taken first: a painter that pumps messages may store a newer state meanwhile.
    auto label = std::exchange(label_, std::nullopt);
    const auto position = std::exchange(position_, std::nullopt);
    if (label) painters_.label(*label);
    if (position) painters_.position(*position);
    lastPaint_ = now;
  }

  Clock clock_;
  Painters painters_;
  std::optional<std::wstring> label_;
  std::optional<std::int32_t> position_;
  std::optional<std::chrono::microseconds> lastPaint_;
};

}  // namespace base
