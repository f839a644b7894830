#pragma once
// The result of an operation of the feature or the bridge: a value of type T
// (nothing for void) or the PluginError that stopped it.

#include <type_traits>
#include <utility>
#include <variant>

#include "logging/plugin_error.h"

namespace Quor {

template <class T>
class [[nodiscard]] Expected {
  static_assert(!std::is_same_v<std::remove_cv_t<T>, PluginError>, "an error is not a result value");

 public:
  // A value, or anything a value can be built from ("text" for a string).
  template <class U = T>
    requires(std::is_constructible_v<T, U &&> && !std::is_same_v<std::remove_cvref_t<U>, PluginError> &&
             !std::is_same_v<std::remove_cvref_t<U>, Expected> &&
             !std::is_same_v<std::remove_cvref_t<U>, std::in_place_t>)
  Expected(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  Expected(const PluginError& error) : state_(std::in_place_index<1>, error) {}
  Expected(PluginError&& error) : state_(std::in_place_index<1>, std::move(error)) {}
  // Builds the value in place from constructor arguments.
  template <class... Arguments>
  explicit Expected(std::in_place_t, Arguments&&... arguments)
      : state_(std::in_place_index<0>, std::forward<Arguments>(arguments)...) {}

  bool hasValue() const { return state_.index() == 0; }
  explicit operator bool() const { return hasValue(); }

  // Only with hasValue().
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // Only without hasValue().
  PluginError& error() & { return std::get<1>(state_); }
  const PluginError& error() const& { return std::get<1>(state_); }
  PluginError&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, PluginError> state_;
};

template <>
class [[nodiscard]] Expected<void> {
 public:
  // Success.
  Expected() = default;
  Expected(const PluginError& error) : error_(error), failed_(true) {}
  Expected(PluginError&& error) : error_(std::move(error)), failed_(true) {}

  bool hasValue() const { return !failed_; }
  explicit operator bool() const { return hasValue(); }

  // Only without hasValue().
  PluginError& error() & { return error_; }
  const PluginError& error() const& { return error_; }
  PluginError&& error() && { return std::move(error_); }

 private:
  PluginError error_;
  bool failed_ = false;
};

}  // namespace Quor
