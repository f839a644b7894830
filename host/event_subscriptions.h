#pragma once
// The first two virtual operations of every plugin object: subscribing to
// and unsubscribing from the events of a resource path. Both do nothing
// here; the host bridge implements them.

#include <string>

namespace Quor {

class EventSubscriptions {
 public:
  virtual void subscribe(const std::string& uri) { (void)uri; }
  virtual void unsubscribe(const std::string& uri) { (void)uri; }

 protected:
  // Plugin objects are destroyed through the bridge's virtual destructor,
  // which comes after these two operations in the table.
  ~EventSubscriptions() = default;
};

}  // namespace Quor
