// libFuzzer target: a stored message through the whole MIME engine, as the
// mailbox reader uses it: the part tree is built,
// every known field is looked up on every part, every part's body is decoded,
// and the text-part and attachment searches are run, as are the summary,
// body and attachment reads of the mailbox pages. The input is copied into
// an exactly-sized heap buffer so that any read past the message is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mailbox/MessageReader.h"
#include "mime/MimePart.h"

using namespace tarnwick::mime;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void Visit(const MimePart& part, const char* begin, const char* end, int depth) {
    Check(depth <= kMaxNestingDepth);
    for (const auto& name : KnownFieldNames) {
        char value[kValueBytes];
        if (GetField(part, name, value)) Check(value[kValueBytes - 1] == '\0');
    }
    if (part.bodyBegin != nullptr) {
        Check(begin <= part.bodyBegin && part.bodyBegin <= part.bodyEnd && part.bodyEnd <= end);
        Check(part.children.empty());
    } else {
        Check(part.bodyEnd == nullptr);
    }
    DecodedBody body = DecodeBody(part);
    Check(body.bytes.size() == (part.bodyBegin == nullptr ? 0 : part.BodySize()));
    Check(body.count <= body.bytes.size());
    for (const auto& child : part.children) Visit(*child, begin, end, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<char[]> bytes(new char[size]);
    if (size != 0) std::memcpy(bytes.get(), data, size);
    const char* begin = bytes.get();
    const char* end = begin + size;

    MimePart root(begin, end);
    Visit(root, begin, end, 0);

    bool passed = false;
    FindPart(root, passed, nullptr, "Content-Type", "text/plain");
    passed = false;
    std::size_t attachments = 0;
    for (const MimePart* a = FindAttachment(root, passed, nullptr); a != nullptr;
         passed = false, a = FindAttachment(root, passed, a)) {
        Check(++attachments <= size);   // each search moves strictly forward
    }

    // What the mailbox pages read of it.
    for (const std::string& value : tarnwick::mailbox::SummaryValues(root)) Check(value.size() <= 254);
    Check(tarnwick::mailbox::BodyText(root).size() <= size);
    std::string list = tarnwick::mailbox::AttachmentList(root);
    for (std::size_t at = 0, next; (next = list.find("||", at)) != std::string::npos; at = next + 2)
        Check(tarnwick::mailbox::FindAttachmentByName(root, list.substr(at, next - at)) != nullptr);
    return 0;
}
