#include <windows.h>

#include "platform/lead_bytes.h"

namespace Quor {

LeadBytes codePageLeadBytes(unsigned codePage) {
  LeadBytes leadBytes;
  CPINFO info{};
  if (!GetCPInfo(codePage, &info)) return leadBytes;
  // Pairs of inclusive range bounds, ended by a pair of zeros.
  for (std::size_t index = 0; index + 1 < MAX_LEADBYTES && info.LeadByte[index] != 0; index += 2) {
    leadBytes.addRange(info.LeadByte[index], info.LeadByte[index + 1]);
  }
  return leadBytes;
}

LeadBytes ansiCodePageLeadBytes() { return codePageLeadBytes(CP_ACP); }

}  // namespace Quor
