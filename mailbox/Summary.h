// What both readings of a message share in the strings pages split: the
// fields of GetTitleInfo's line and the separators of both results.
#pragma once

#include <cstddef>

namespace tarnwick::mailbox {

// The fields of a summary line, in this order.
constexpr std::size_t kSummaryFieldCount = 4;
constexpr const char* kSummaryFields[kSummaryFieldCount] = {"From", "To", "Subject", "Date"};

// After each summary value (GetTitleInfo) and each attachment name
// (GetAllFileName).
constexpr char kSummarySeparator[] = "||||";
constexpr char kAttachmentSeparator[] = "||";

}  // namespace tarnwick::mailbox
