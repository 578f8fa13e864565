#include "quorvix_app/notification_center.h"

#include <algorithm>

namespace quorvix::app {

std::unique_ptr<NotificationCenter::Observation> NotificationCenter::observe(std::string name,
                                                                             std::function<void()> block) {
  // Observers that went away are dropped here rather than in their destructor, which may run
  // inside a post.
  std::erase_if(observers_, [](const std::shared_ptr<Observer>& o) { return o->removed; });
  auto observer = std::make_shared<Observer>(Observer{std::move(name), std::move(block)});
  observers_.push_back(observer);
  return std::make_unique<Observation>(observer);
}

void NotificationCenter::post(std::string_view name) {
  // A block may observe or stop observing; it works on a copy of the list it was called from.
  const auto observers = observers_;
  for (const auto& observer : observers) {
    if (!observer->removed && observer->name == name) observer->block();
  }
}

NotificationCenter::Observation::~Observation() {
  if (auto observer = observer_.lock()) observer->removed = true;
}

}  // namespace quorvix::app
