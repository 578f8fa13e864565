// Repeating timers on the thread that runs the input method.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace quorvix::platform {

// A scheduled timer; destroying it stops it for good.
class Timer {
 public:
  virtual ~Timer() = default;
};

class Timers {
 public:
  virtual ~Timers() = default;
  // Calls `tick` every `interval`, first after one interval, until the returned timer is gone.
  virtual std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval,
                                                   std::function<void()> tick) = 0;
};

}  // namespace quorvix::platform
