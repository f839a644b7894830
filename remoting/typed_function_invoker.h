#pragma once
// Binding of a C++ callable as a remoting function: its description (one
// parameter per bound argument, the result type) and its invoker.
//
// Every parameter of the callable is bound from a request argument, except
// two that the dispatcher supplies itself:
//   const RemotingRequest&   the request (the function then asks for it),
//   RemotingResponse&        the response, to set a status, headers or a stream.
// Bound parameters are taken by value or by const reference and must be
// NativeConvertible; std::optional<T> parameters are optional. The result may
// be void, a NativeConvertible value, or an Expected of either, whose error is
// answered with its text form. Parameters start without names; the
// registration names them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "binding/function_description.h"
#include "binding/typed_conversion.h"
#include "logging/expected.h"
#include "logging/plugin_error.h"
#include "remoting/function_invoker.h"

namespace Quor {

namespace detail {

template <class F>
struct CallableSignature : CallableSignature<decltype(&F::operator())> {};

template <class R, class... A>
struct CallableSignature<R (*)(A...)> {
  using Result = R;
  using Arguments = std::tuple<A...>;
};
template <class R, class... A>
struct CallableSignature<R (*)(A...) noexcept> : CallableSignature<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableSignature<R (C::*)(A...)> : CallableSignature<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableSignature<R (C::*)(A...) const> : CallableSignature<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableSignature<R (C::*)(A...) noexcept> : CallableSignature<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableSignature<R (C::*)(A...) const noexcept> : CallableSignature<R (*)(A...)> {};

template <class Arg>
inline constexpr bool isRequestParameter = std::is_same_v<Arg, const RemotingRequest&>;
template <class Arg>
inline constexpr bool isResponseParameter = std::is_same_v<Arg, RemotingResponse&>;
template <class Arg>
inline constexpr bool isBoundParameter = !isRequestParameter<Arg> && !isResponseParameter<Arg>;

template <class Arg>
using StoredArgument = std::conditional_t<isBoundParameter<Arg>, std::remove_cvref_t<Arg>, std::monostate>;

template <class T>
struct ExpectedTraits {
  static constexpr bool isExpected = false;
  using Value = T;
};
template <class T>
struct ExpectedTraits<Expected<T>> {
  static constexpr bool isExpected = true;
  using Value = T;
};

template <class T>
inline constexpr bool isOptionalParameter = requires { typename NativeTypeTraits<T>::Contained; };

template <class T>
TypeRef resultTypeRef(const TypeRegistry& registry) {
  if constexpr (std::is_void_v<T>) {
    return TypeRef{};
  } else {
    return typeRefOf<std::remove_cvref_t<T>>(registry);
  }
}

}  // namespace detail

template <class Callable, class Result, class... Args>
class TypedFunctionInvoker final : public FunctionInvoker {
  static_assert(((detail::isBoundParameter<Args> ? NativeConvertible<std::remove_cvref_t<Args>> : true) && ...),
                "every bound parameter must be NativeConvertible");
  static_assert(((!detail::isBoundParameter<Args> || std::is_same_v<Args, std::remove_cvref_t<Args>> ||
                  std::is_same_v<Args, const std::remove_cvref_t<Args>&>) &&
                 ...),
                "bound parameters are taken by value or by const reference");
  static_assert(((!std::is_same_v<std::remove_cvref_t<Args>, RemotingRequest> || detail::isRequestParameter<Args>) &&
                 ...),
                "the request is taken as const RemotingRequest&");

  using Storage = std::tuple<detail::StoredArgument<Args>...>;
  static constexpr std::size_t boundCount = (std::size_t{0} + ... + (detail::isBoundParameter<Args> ? 1 : 0));
  static constexpr bool takesRequest = (detail::isRequestParameter<Args> || ...);

  // The parameter index of argument Position: bound arguments before it.
  template <std::size_t Position>
  static constexpr std::size_t parameterIndex() {
    constexpr bool bound[] = {detail::isBoundParameter<Args>..., false};
    std::size_t index = 0;
    for (std::size_t position = 0; position < Position; ++position) index += bound[position] ? 1 : 0;
    return index;
  }

 public:
  TypedFunctionInvoker(Callable callable, std::shared_ptr<const FunctionDescription> function,
                       const TypeRegistry* registry)
      : callable_(std::move(callable)), function_(std::move(function)), registry_(registry) {}

  std::uint32_t prepare(RemotingResponse& response, std::vector<Value>& arguments, std::uint32_t) override {
    if constexpr (boundCount == 0) {
      return 0;
    } else {
      auto storage = std::make_unique<Storage>();
      ValueResult failure;
      ConversionContext context(failure, registry_);
      assignAll(context, *storage, arguments, std::index_sequence_for<Args...>{});
      if (!failure.ok()) {
        response.setError(failure.error());
        return 0;
      }
      return tokenOf(storage.release());
    }
  }

  void invoke(RemotingResponse& response, const RemotingRequest* request, std::uint32_t token,
              std::uint32_t) override {
    Storage* storage = storageOf(token);
    std::unique_ptr<Storage> defaults;
    if (storage == nullptr) {
      // Not prepared: the parameters keep their default values.
      defaults = std::make_unique<Storage>();
      storage = defaults.get();
    }
    const RemotingRequest& requestRecord = request != nullptr ? *request : emptyRequest();
    if constexpr (std::is_void_v<Result>) {
      call(*storage, requestRecord, response, std::index_sequence_for<Args...>{});
    } else {
      writeResult(response, call(*storage, requestRecord, response, std::index_sequence_for<Args...>{}));
    }
  }

  void release(std::uint32_t token) noexcept override { delete storageOf(token); }

  const std::uint32_t* requestType() const override {
    if constexpr (takesRequest) {
      return &StaticType::HashRecord<RemotingRequest>().code;
    } else {
      return nullptr;
    }
  }

 private:
  static std::uint32_t tokenOf(Storage* storage) {
    static_assert(sizeof(Storage*) <= sizeof(std::uint32_t), "a token holds a pointer");
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(storage));
  }
  static Storage* storageOf(std::uint32_t token) {
    return reinterpret_cast<Storage*>(static_cast<std::uintptr_t>(token));
  }
  static const RemotingRequest& emptyRequest() {
    static const RemotingRequest empty;
    return empty;
  }

  template <std::size_t... Positions>
  void assignAll(ConversionContext& context, Storage& storage, std::vector<Value>& arguments,
                 std::index_sequence<Positions...>) const {
    (assignOne<Positions>(context, storage, arguments), ...);
  }

  template <std::size_t Position>
  void assignOne(ConversionContext& context, Storage& storage, std::vector<Value>& arguments) const {
    using Arg = std::tuple_element_t<Position, std::tuple<Args...>>;
    if constexpr (detail::isBoundParameter<Arg>) {
      static const Value missing;
      constexpr std::size_t index = parameterIndex<Position>();
      if constexpr (std::is_same_v<std::remove_cvref_t<Arg>, Value> && !takesRequest) {
        // Nothing reads the argument after this (the function does not see
        // the request), so a tree such as a decoded body is handed over
        // rather than copied; the result is the same as assignObject's.
        if (index < arguments.size() && context.ok()) {
          std::get<Position>(storage) = std::move(arguments[index]);
          return;
        }
      }
      const Value& source = index < arguments.size() ? arguments[index] : missing;
      std::string_view name;
      if (function_ != nullptr && index < function_->parameters.size()) name = function_->parameters[index].name;
      assignNative(context, std::get<Position>(storage), source, name);
    }
  }

  template <std::size_t Position>
  decltype(auto) argumentFor(Storage& storage, const RemotingRequest& request, RemotingResponse& response) {
    using Arg = std::tuple_element_t<Position, std::tuple<Args...>>;
    if constexpr (detail::isRequestParameter<Arg>) {
      return (request);
    } else if constexpr (detail::isResponseParameter<Arg>) {
      return (response);
    } else {
      return std::move(std::get<Position>(storage));
    }
  }

  template <std::size_t... Positions>
  Result call(Storage& storage, const RemotingRequest& request, RemotingResponse& response,
              std::index_sequence<Positions...>) {
    return std::invoke(callable_, argumentFor<Positions>(storage, request, response)...);
  }

  template <class Returned>
  void writeResult(RemotingResponse& response, const Returned& returned) const {
    using Plain = std::remove_cvref_t<Returned>;
    if constexpr (detail::ExpectedTraits<Plain>::isExpected) {
      if (!returned) {
        response.setError(textForm(returned.error()));
        return;
      }
      if constexpr (!std::is_void_v<typename detail::ExpectedTraits<Plain>::Value>) {
        convertToValue(response.result, returned.value(), registry_);
      }
    } else {
      convertToValue(response.result, returned, registry_);
    }
  }

  Callable callable_;
  std::shared_ptr<const FunctionDescription> function_;
  const TypeRegistry* registry_;
};

// A function description and its invoker for a callable.
struct TypedBinding {
  std::shared_ptr<FunctionDescription> function;
  std::unique_ptr<FunctionInvoker> invoker;
};

template <class Callable, class Result, class... Args>
TypedBinding makeTypedBinding(std::string name, const TypeRegistry& registry, Callable callable,
                              std::tuple<Args...>*) {
  auto function = std::make_shared<FunctionDescription>();
  function->name = std::move(name);
  (
      [&] {
        if constexpr (detail::isBoundParameter<Args>) {
          using Bound = std::remove_cvref_t<Args>;
          ParameterDescription parameter;
          parameter.type = typeRefOf<Bound>(registry);
          parameter.optional = detail::isOptionalParameter<Bound>;
          function->parameters.push_back(std::move(parameter));
        }
      }(),
      ...);
  function->returns =
      detail::resultTypeRef<typename detail::ExpectedTraits<std::remove_cvref_t<Result>>::Value>(registry);
  auto invoker = std::make_unique<TypedFunctionInvoker<Callable, Result, Args...>>(std::move(callable), function,
                                                                                  &registry);
  return {std::move(function), std::move(invoker)};
}

// Describes and binds callable (a function pointer, a lambda or any object
// with one call operator) under name.
template <class Callable>
TypedBinding makeTypedBinding(std::string name, const TypeRegistry& registry, Callable callable) {
  using Signature = detail::CallableSignature<std::decay_t<Callable>>;
  return makeTypedBinding<std::decay_t<Callable>, typename Signature::Result>(
      std::move(name), registry, std::move(callable), static_cast<typename Signature::Arguments*>(nullptr));
}

// A callable that calls member on object.
template <class Object, class R, class... A>
auto bindMember(Object* object, R (Object::*member)(A...)) {
  return [object, member](A... arguments) -> R { return (object->*member)(std::forward<A>(arguments)...); };
}
template <class Object, class R, class... A>
auto bindMember(const Object* object, R (Object::*member)(A...) const) {
  return [object, member](A... arguments) -> R { return (object->*member)(std::forward<A>(arguments)...); };
}

}  // namespace Quor
