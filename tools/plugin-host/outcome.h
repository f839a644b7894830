#pragma once
// A result or the text of what went wrong: how the simulator's own steps
// report failures (the plugin's failures arrive in its records instead).

#include <string>
#include <utility>
#include <variant>

namespace PluginHost {

struct Failure {
  std::string message;
};

template <class T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Outcome(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const std::string& error() const { return std::get<1>(state_).message; }

 private:
  std::variant<T, Failure> state_;
};

struct Done {};

}  // namespace PluginHost
