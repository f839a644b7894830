#pragma once
// The fixed sentences of the conversions between Value trees and native
// data. Placeholders are filled by FormatMessage.

namespace Quor::ConversionMessages {

inline constexpr const char* required = "A value for '%1' is required.";
inline constexpr const char* outOfRange = "Value %1 for '%2' of type %3 is out of range";
inline constexpr const char* incorrectFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
inline constexpr const char* invalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
inline constexpr const char* boolIncorrectFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\".";
inline constexpr const char* boolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
inline constexpr const char* enumerationValue = "%1 is not a valid %2 enumeration value for '%3'.";
inline constexpr const char* enumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
inline constexpr const char* enumUnregistered =
    "Couldn't assign value to '%1' of enum type because the enumeration is not registered.";
inline constexpr const char* enumWidth =
    "Couldn't assign value to '%1' of enum type %2 because its registered size %3 is not 1, 2, 4 or 8.";
inline constexpr const char* stringEnumerationValue = "%1 is not a valid enumeration value for '%2'.";
inline constexpr const char* notAString = "Couldn't assign value to '%1' because the input is not a string.";
inline constexpr const char* invalidBase64 =
    "Couldn't assign string value to '%1' of type blob because the input has invalid base64 characters.";
inline constexpr const char* notABlob = "Couldn't assign value to '%1' of type blob because the input is not a blob.";
inline constexpr const char* vectorNotCollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
inline constexpr const char* mapNotStructure =
    "Couldn't assign value to '%1' of type map because the input not a structure.";
inline constexpr const char* unregisteredStructure =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a structure at all.";
inline constexpr const char* structNotStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
inline constexpr const char* missingRequiredField =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required field '%3'.";
inline constexpr const char* noConverter =
    "Couldn't assign value to '%1' because its native type %2 has no conversion.";
inline constexpr const char* nestedTooDeeply =
    "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";

inline constexpr const char* unregisteredNativeStructure =
    "Couldn't convert native value because it's an unregistered structure.";
inline constexpr const char* unregisteredNativeEnumeration =
    "Couldn't convert native value because it's an unregistered enumeration.";
inline constexpr const char* noNativeConverter = "Couldn't convert native value of type %1 because it has no conversion.";
inline constexpr const char* nativeVectorTooLarge =
    "Couldn't convert native value because a vector has %1 elements, more than a value can hold.";
inline constexpr const char* nativeNestedTooDeeply =
    "Couldn't convert native value because it is nested deeper than %1 levels.";

}  // namespace Quor::ConversionMessages
