// The fixed text limits pages and stored files can observe. The component
// formats paths and property values into 256-byte buffers and reads header
// lines into 255-byte ones, as the systems it serves do; every limit of such
// a buffer is kept here, once, with its reason, and enforced by cutting or
// refusing, never by writing past a buffer. Limits against hostile input
// stand beside the one reader they bound: kMaxFormFields and kDelimiterSlot
// (upload/FormDataParser.h), kMaxNestingDepth (mime/stored/Part.h),
// kMaxFieldBytes (mime/current/Header.h) and kMaxSections
// (mime/current/Header.cpp).
#pragma once

#include <cstddef>

namespace tarnwick::text {

// A path (mailbox file, saved upload, working directory) and a narrow-buffer
// property (SendMail.sMailPath, Upload.TargetDir) live in 256-byte buffers:
// at most 255 bytes of text and the terminating zero. A longer path cannot be
// opened or written; a longer property value is cut.
constexpr std::size_t kMaxPathBytes = 255;

// A header line, field name or value of a stored message is read into a
// 255-byte buffer: at most 254 bytes of text and the terminating zero.
constexpr std::size_t kHeaderBufferBytes = 255;
constexpr std::size_t kMaxHeaderTextBytes = kHeaderBufferBytes - 1;

// A part of a stored message keeps the first 1,000 header fields and
// parameters of its header block; after them a field is kept only when no
// earlier one has its name (at most one more per known name). A look-up
// answers the first field of a name, so every look-up answers as if all were
// kept. The reason: a header block is as long as its sender makes it, and an
// 18 MB message of short "To:" lines holds two million fields that no page
// can ever see; real mail has a few dozen.
constexpr std::size_t kMaxHeaderFields = 1000;

// A posted form field's name has a 64-byte slot and its client file name a
// 256-byte slot: at most 63 and 255 bytes; longer ones are cut.
constexpr std::size_t kFieldNameSlotBytes = 64;
constexpr std::size_t kFileNameSlotBytes = 256;

// An attachment's file name and its extension each fit a 256-byte buffer of
// the composer: at most 255 bytes each.
constexpr std::size_t kMaxNamePartBytes = 255;

}  // namespace tarnwick::text
