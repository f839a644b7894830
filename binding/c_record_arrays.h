#pragma once
// Helpers for the arrays of C records handed to the core: each record starts
// zeroed, and a record's `next` links it to the following one.

#include <cstddef>
#include <cstring>

namespace Quor {

template <class Record>
void zeroRecord(Record& record) {
  std::memset(static_cast<void*>(&record), 0, sizeof record);
}

// Links every record of an array to the next one; the last keeps null.
template <class Records>
void chainRecords(Records& records) {
  for (std::size_t index = 0; index + 1 < records.size(); ++index) records[index].next = &records[index + 1];
}

}  // namespace Quor
