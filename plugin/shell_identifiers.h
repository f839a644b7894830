#pragma once
// The public identifiers of the shell classes and interfaces that the shell
// link routines use, and the Start-menu pin interface, which the
// routines declare themselves from its public identifier.

#include <windows.h>
#include <unknwn.h>

struct IShellItem;

namespace Quor::ShellIdentifiers {

// {00021401-0000-0000-C000-000000000046}
inline constexpr GUID shellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {000214EE-0000-0000-C000-000000000046}
inline constexpr GUID shellLinkAInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {000214F9-0000-0000-C000-000000000046}
inline constexpr GUID shellLinkWInterface = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0000010B-0000-0000-C000-000000000046}
inline constexpr GUID persistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {43826D1E-E718-42EE-BC55-A1E261C37BFE}
inline constexpr GUID shellItemInterface = {0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};
// {A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}
inline constexpr GUID startMenuPinClass = {0xA2A9545D, 0xA0C2, 0x42B4, {0x97, 0x08, 0xA0, 0xB2, 0xBA, 0xDD, 0x77, 0xC8}};
// {4CD19ADA-25A5-4A32-B3B7-347BEE5BE36B}
inline constexpr GUID startMenuPinnedListInterface = {0x4CD19ADA, 0x25A5, 0x4A32, {0xB3, 0xB7, 0x34, 0x7B, 0xEE, 0x5B, 0xE3, 0x6B}};

// IStartMenuPinnedList: IUnknown, then one method.
struct StartMenuPinnedList : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RemoveFromList(IShellItem* item) = 0;
};

}  // namespace Quor::ShellIdentifiers
