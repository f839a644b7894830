#include "remoting/transport.h"

#include "logging/logger.h"
#include "remoting/builtin_types.h"

namespace Quor {

// ---- RegistrationBuilder ----------------------------------------------------------

RegistrationBuilder& RegistrationBuilder::parameter(std::size_t index, std::string_view name,
                                                    std::string_view description) {
  if (!isOpen() || registration_->function == nullptr) return *this;
  auto& parameters = registration_->function->parameters;
  if (index >= parameters.size()) return *this;
  parameters[index].name = std::string(name);
  parameters[index].description = std::string(description);
  return *this;
}

RegistrationBuilder& RegistrationBuilder::location(std::size_t index, ArgumentLocation location) {
  if (!isOpen() || index >= registration_->parameterLocations.size()) return *this;
  registration_->parameterLocations[index] = location;
  return *this;
}

RegistrationBuilder& RegistrationBuilder::pathTemplate(std::string_view path) {
  if (!isOpen()) return *this;
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  registration_->pathTemplate = std::string(path);
  registration_->rebuildRoute();
  return *this;
}

RegistrationBuilder& RegistrationBuilder::method(RequestMethod method, std::string_view customMethod) {
  if (!isOpen()) return *this;
  registration_->method = method;
  registration_->customMethod = method == RequestMethod::Custom ? std::string(customMethod) : std::string();
  return *this;
}

RegistrationBuilder& RegistrationBuilder::flag(std::uint8_t flag) {
  if (isOpen()) registration_->flag = flag;
  return *this;
}

RegistrationBuilder& RegistrationBuilder::textList(std::vector<std::string> texts) {
  if (isOpen()) registration_->textLists.push_back(std::move(texts));
  return *this;
}

RegistrationBuilder& RegistrationBuilder::describe(std::string_view description) {
  if (isOpen() && registration_->function != nullptr) registration_->function->description = std::string(description);
  return *this;
}

RegistrationBuilder& RegistrationBuilder::tag(std::string_view tag) {
  if (isOpen() && registration_->function != nullptr) registration_->function->tags.emplace_back(tag);
  return *this;
}

// ---- Transport -------------------------------------------------------------------------

Transport::Transport() { registerBuiltins(registry_); }

RegistrationBuilder Transport::registerFunction(std::shared_ptr<FunctionDescription> function,
                                                std::unique_ptr<FunctionInvoker> invoker) {
  if (function == nullptr) return RegistrationBuilder(nullptr, false);
  const std::shared_ptr<FunctionDescription> registered = registry_.addFunction(function);
  if (registered != function) {
    // The first function of a name stays; a second one would take over its
    // endpoint and leave the first unreachable.
    log(LogLevel::Error, LogCategory::Dbg, "A function named '%s' is registered already; the new one is not added",
        function->name.c_str());
    return RegistrationBuilder(findRegistration(function->name), false);
  }
  auto registration = std::make_unique<FunctionRegistration>();
  registration->function = std::move(function);
  registration->invoker = std::move(invoker);
  registration->parameterLocations.assign(registration->function->parameters.size(), ArgumentLocation::Any);
  registration->context.transport = this;
  registration->context.registration = registration.get();
  registration->rebuildRoute();
  FunctionRegistration* entered = registration.get();
  registrationsByName_.emplace(entered->function->name, entered);
  registrations_.push_back(std::move(registration));
  return RegistrationBuilder(entered, true);
}

RegistrationBuilder Transport::finishRoute(RegistrationBuilder builder, RequestMethod method, std::string_view path) {
  if (!builder.isOpen()) return builder;
  builder.pathTemplate(path).method(method);
  for (const std::string& tag : endpointTags_) builder.tag(tag);
  return builder;
}

FunctionRegistration* Transport::findRegistration(std::string_view name) const {
  const auto found = registrationsByName_.find(name);
  return found != registrationsByName_.end() ? found->second : nullptr;
}

std::vector<const FunctionRegistration*> Transport::registrations() const {
  std::vector<const FunctionRegistration*> all;
  all.reserve(registrations_.size());
  for (const auto& registration : registrations_) all.push_back(registration.get());
  return all;
}

std::vector<const Route*> Transport::routes() const {
  std::vector<const Route*> all;
  all.reserve(registrations_.size());
  for (const auto& registration : registrations_) {
    if (registration->route) all.push_back(&*registration->route);
  }
  return all;
}

const HostRegistrationAnswer& Transport::answerRegistration() {
  for (const auto& registration : registrations_) registration->open = false;
  const HostApiDescription& description = apiExport_.build(registry_);
  const std::vector<const FunctionRegistration*> all = registrations();
  endpoints_ = buildHostEndpoints(all, description);
  answer_.endpoints = endpoints_.data();
  answer_.endpointCount = endpoints_.size();
  answer_.types = description.types;
  answer_.typeCount = description.typeCount;
  answer_.events = description.events;
  answer_.eventCount = description.eventCount;
  return answer_;
}

}  // namespace Quor
