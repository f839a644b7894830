#pragma once
// Which bytes of a narrow (ANSI code page) text begin a two-byte character.
// In the double-byte code pages (932, 936, 949, 950) the second byte of a
// character may be 0x5C, the byte of "\", or an ASCII letter; texts are
// therefore walked a character at a time, never a byte at a time.

#include <bitset>
#include <cstddef>
#include <string_view>

namespace Quor {

class LeadBytes {
 public:
  // A single-byte code page: every character is one byte.
  LeadBytes() = default;

  // Marks the bytes first..last (inclusive) as lead bytes.
  void addRange(unsigned char first, unsigned char last);

  bool isLeadByte(char byte) const { return leads_.test(static_cast<unsigned char>(byte)); }

  // The number of bytes of the character that starts at `index`: 2 for a lead
  // byte followed by another byte, else 1 (a lead byte at the very end stands
  // alone).
  std::size_t characterLength(std::string_view text, std::size_t index) const {
    return index + 1 < text.size() && isLeadByte(text[index]) ? 2 : 1;
  }

 private:
  std::bitset<256> leads_;
};

// The lead bytes of the system's ANSI code page, the one every narrow path of
// the directory search is in.
LeadBytes ansiCodePageLeadBytes();

// The lead bytes of `codePage`; none when the system does not know it.
LeadBytes codePageLeadBytes(unsigned codePage);

}  // namespace Quor
