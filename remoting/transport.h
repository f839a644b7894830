#pragma once
// The route table and function registry of one plugin: every bound function
// is registered here under its name, reachable under a method and a path
// template, and described to the core as an endpoint record.
//
// Set-up happens on one thread (the plugin's loader): routes are added, their
// parameters named, then answerRegistration builds the records for the core
// and closes every registration, since the records point into them. From
// then on the transport is only read, by any number of request threads.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/host_api_description.h"
#include "binding/type_registry.h"
#include "remoting/argument_location.h"
#include "remoting/function_name.h"
#include "remoting/function_registration.h"
#include "remoting/host_endpoint.h"
#include "remoting/request_method.h"
#include "remoting/typed_function_invoker.h"

namespace Quor {

// Changes a registration while it is open. A builder whose name was taken
// already (registered() false) and a builder of a closed registration change
// nothing, like the type registry's builders.
class RegistrationBuilder {
 public:
  RegistrationBuilder(FunctionRegistration* registration, bool registered)
      : registration_(registration), registered_(registered) {}

  // False when a function of the name existed: this call registered nothing
  // and registration() is the earlier one (null when it has no endpoint).
  bool registered() const { return registered_; }
  bool isOpen() const { return registered_ && registration_ != nullptr && registration_->open; }
  FunctionRegistration* registration() const { return registration_; }

  // Names parameter index (in the order of the bound parameters) and
  // describes it.
  RegistrationBuilder& parameter(std::size_t index, std::string_view name, std::string_view description = {});
  // Where parameter index may come from.
  RegistrationBuilder& location(std::size_t index, ArgumentLocation location);
  // The path template; one trailing "/" is removed from a path longer than
  // one character. The route is made again.
  RegistrationBuilder& pathTemplate(std::string_view path);
  // The method filter; the custom text counts only for RequestMethod::Custom.
  RegistrationBuilder& method(RequestMethod method, std::string_view customMethod = {});
  RegistrationBuilder& flag(std::uint8_t flag);
  RegistrationBuilder& textList(std::vector<std::string> texts);
  RegistrationBuilder& describe(std::string_view description);
  RegistrationBuilder& tag(std::string_view tag);

 private:
  FunctionRegistration* registration_;
  bool registered_;
};

class Transport {
 public:
  // The registry starts with the built-in types and the "OnCallback" event
  // (remoting/builtin_types.h).
  Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  TypeRegistry& registry() { return registry_; }
  const TypeRegistry& registry() const { return registry_; }

  // The tags every endpoint added by addRoute receives.
  void setEndpointTags(std::vector<std::string> tags) { endpointTags_ = std::move(tags); }
  const std::vector<std::string>& endpointTags() const { return endpointTags_; }

  // Binds handler (a function pointer or a lambda, see
  // typed_function_invoker.h) as the function functionNameFor(method, path),
  // reached by method at path, with the endpoint tags. When the name is
  // taken, nothing is registered and the builder says so.
  template <class Handler>
  RegistrationBuilder addRoute(RequestMethod method, std::string_view path, Handler handler) {
    TypedBinding binding = makeTypedBinding(functionNameFor(static_cast<std::uint32_t>(method), path), registry_,
                                            std::move(handler));
    return finishRoute(registerFunction(std::move(binding.function), std::move(binding.invoker)), method, path);
  }
  // The same for a member function called on object.
  template <class Object, class Member>
    requires std::is_member_function_pointer_v<Member>
  RegistrationBuilder addRoute(RequestMethod method, std::string_view path, Member member, Object* object) {
    return addRoute(method, path, bindMember(object, member));
  }

  // Registers function in the registry and gives it an endpoint with
  // invoker, reached by any method at the function's name until a path
  // template and method are set. A name registered before keeps its first
  // function; the builder then changes nothing.
  RegistrationBuilder registerFunction(std::shared_ptr<FunctionDescription> function,
                                       std::unique_ptr<FunctionInvoker> invoker);

  FunctionRegistration* findRegistration(std::string_view name) const;
  // Every registration, in the order they were made.
  std::vector<const FunctionRegistration*> registrations() const;
  // The routes of all registrations whose template compiled, in that order.
  std::vector<const Route*> routes() const;

  // Builds the API description and the endpoint records from every
  // registration, closes the registrations and answers the core's
  // registration. Building again replaces records the core may still hold:
  // answer once.
  const HostRegistrationAnswer& answerRegistration();
  const HostRegistrationAnswer& registrationAnswer() const { return answer_; }

 private:
  RegistrationBuilder finishRoute(RegistrationBuilder builder, RequestMethod method, std::string_view path);

  TypeRegistry registry_;
  std::vector<std::unique_ptr<FunctionRegistration>> registrations_;
  std::map<std::string, FunctionRegistration*, std::less<>> registrationsByName_;
  std::vector<std::string> endpointTags_;
  HostApiExport apiExport_;
  HostEndpointTable endpoints_;
  HostRegistrationAnswer answer_{};
};

}  // namespace Quor
