// Notifications between parts of one process. Nothing crosses to another process: a
// preferences window of its own reaches the input controllers only through the file they watch.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::app {

// Posted by the preferences window after it saved the configuration file.
inline constexpr std::string_view quorvixConfigChanged = "QuorvixConfigChanged";

class NotificationCenter {
 public:
  class Observation;

  // Calls `block` on every post of `name` until the returned observation is destroyed.
  [[nodiscard]] std::unique_ptr<Observation> observe(std::string name, std::function<void()> block);
  void post(std::string_view name);

 private:
  struct Observer {
    std::string name;
    std::function<void()> block;
    bool removed = false;
  };
  std::vector<std::shared_ptr<Observer>> observers_;
};

class NotificationCenter::Observation {
 public:
  explicit Observation(std::weak_ptr<Observer> observer) : observer_(std::move(observer)) {}
  ~Observation();
  Observation(const Observation&) = delete;
  Observation& operator=(const Observation&) = delete;

 private:
  std::weak_ptr<Observer> observer_;
};

}  // namespace quorvix::app
