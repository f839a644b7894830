#include "remoting/host_endpoint.h"

#include <cstring>
#include <map>
#include <string_view>

#include "binding/c_record_arrays.h"
#include "remoting/dispatcher.h"
#include "remoting/function_registration.h"

namespace Quor {

namespace {

// The description records by function name; the first of a name wins.
std::map<std::string_view, const HostFunctionDescription*> descriptionsByName(const HostApiDescription& descriptions) {
  std::map<std::string_view, const HostFunctionDescription*> byName;
  if (descriptions.functions == nullptr) return byName;
  for (std::uint32_t index = 0; index < descriptions.functionCount; ++index) {
    const HostFunctionDescription& record = descriptions.functions[index];
    const char* name = record.name;
    if (name != nullptr) byName.emplace(name, &record);
  }
  return byName;
}

}  // namespace

HostEndpointTable buildHostEndpoints(std::span<const FunctionRegistration* const> registrations,
                                     const HostApiDescription& descriptions) {
  HostEndpointTable table;
  const auto byName = descriptionsByName(descriptions);
  table.endpoints_.resize(registrations.size());
  for (std::size_t index = 0; index < registrations.size(); ++index) {
    HostEndpoint& endpoint = table.endpoints_[index];
    zeroRecord(endpoint);
    const FunctionRegistration* registration = registrations[index];
    if (registration == nullptr) continue;

    if (registration->function != nullptr) {
      const auto found = byName.find(registration->function->name);
      if (found != byName.end()) std::memcpy(&endpoint.description, found->second, sizeof endpoint.description);
    }
    endpoint.description.next = nullptr;
    endpoint.description.context = const_cast<EndpointContext*>(&registration->context);
    endpoint.handler = &handleRequest;

    const std::size_t parameterCount =
        registration->function != nullptr ? registration->function->parameters.size() : 0;
    if (parameterCount != 0) {
      auto& locations = table.locations_.emplace_back(parameterCount);
      for (std::size_t position = 0; position < parameterCount; ++position) {
        zeroRecord(locations[position]);
        locations[position].location = argumentLocationCode(registration->locationOf(position));
      }
      chainRecords(locations);
      endpoint.parameterLocations = locations.data();
    }

    endpoint.pathTemplate = registration->pathTemplate.c_str();
    endpoint.method = requestMethodCode(registration->method);
    endpoint.flag = registration->flag;

    if (!registration->textLists.empty()) {
      auto& lists = table.textLists_.emplace_back(registration->textLists.size());
      for (std::size_t position = 0; position < registration->textLists.size(); ++position) {
        const std::vector<std::string>& texts = registration->textLists[position];
        HostTextList& list = lists[position];
        zeroRecord(list);
        if (!texts.empty()) {
          auto& pointers = table.texts_.emplace_back();
          pointers.reserve(texts.size());
          for (const std::string& text : texts) pointers.push_back(text.c_str());
          list.texts = pointers.data();
        }
        list.count = static_cast<std::uint32_t>(texts.size());
      }
      chainRecords(lists);
      endpoint.textLists = lists.data();
      endpoint.textListCount = static_cast<std::uint32_t>(lists.size());
    }
    endpoint.customMethod = registration->customMethod.c_str();
  }
  for (std::size_t index = 0; index + 1 < table.endpoints_.size(); ++index) {
    table.endpoints_[index].description.next = &table.endpoints_[index + 1].description;
  }
  return table;
}

}  // namespace Quor
