#pragma once
// The state that travels through one conversion between Value trees and
// native data: the first failure, the registry that names enums and
// describes structs, and the nesting depth.
//
// The first failure wins: once a context has failed, later failures are not
// recorded and the conversions skip their work. The depth is bounded so that
// hostile nesting cannot exhaust the stack of the recursive conversions; the
// bound is the readers' own, so every document a reader accepts converts.

#include <cstddef>
#include <string>
#include <string_view>

#include "binding/value.h"
#include "binding/nesting_limit.h"

namespace Quor {

class TypeRegistry;

// Containers (vectors, maps, structs, collections, structures) nested deeper
// than this fail to convert.
inline constexpr std::size_t maxConversionDepth = maxNestingDepth;

// Assigning a Value to native data. The failure is recorded in a ValueResult
// (whose value becomes the structure with the member "error").
class ConversionContext {
 public:
  explicit ConversionContext(ValueResult& result, const TypeRegistry* registry = nullptr)
      : result_(result), registry_(registry) {}
  ConversionContext(const ConversionContext&) = delete;
  ConversionContext& operator=(const ConversionContext&) = delete;

  bool ok() const { return result_.ok(); }
  // Records message unless a failure is recorded already.
  void fail(std::string_view message) {
    if (result_.ok()) result_.fail(message);
  }
  std::string_view error() const { return result_.error(); }
  ValueResult& result() { return result_; }
  const TypeRegistry* registry() const { return registry_; }

  // One level deeper; beyond the limit the failure is recorded, naming the
  // thing being assigned, and the answer is false.
  bool enter(std::string_view name);
  void leave() { --depth_; }

 private:
  ValueResult& result_;
  const TypeRegistry* registry_;
  std::size_t depth_ = 0;
};

// Producing a Value from native data.
class ToValueContext {
 public:
  explicit ToValueContext(const TypeRegistry* registry = nullptr) : registry_(registry) {}
  ToValueContext(const ToValueContext&) = delete;
  ToValueContext& operator=(const ToValueContext&) = delete;

  bool ok() const { return ok_; }
  void fail(std::string_view message) {
    if (!ok_) return;
    ok_ = false;
    error_ = message;
  }
  const std::string& error() const { return error_; }
  const TypeRegistry* registry() const { return registry_; }

  bool enter();
  void leave() { --depth_; }

 private:
  const TypeRegistry* registry_;
  std::string error_;
  std::size_t depth_ = 0;
  bool ok_ = true;
};

// Holds one nesting level for a scope.
template <class Context>
class NestingLevel {
 public:
  template <class... Names>
  explicit NestingLevel(Context& context, const Names&... name) : context_(context), entered_(context.enter(name...)) {}
  ~NestingLevel() {
    if (entered_) context_.leave();
  }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;

  explicit operator bool() const { return entered_; }

 private:
  Context& context_;
  bool entered_;
};

}  // namespace Quor
