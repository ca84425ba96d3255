#include "mailbox/MailReader.h"

#include <string>
#include <string_view>

#include "frame/StringConversion.h"
#include "mailbox/current/Reading.h"
#include "mime/current/Part.h"

namespace tarnwick::mailbox {
namespace {

// How Tarnwick.MailReader reads a message (see MailMembers::TitleInfoBy): the
// current::Part tree, results already in UTF-16.
struct UnicodeRules {
    using Tree = mime::current::Part;

    static HRESULT Summary(const Tree& root, BSTR* out) { return frame::ToBstr(current::SummaryLine(root), out); }
    static HRESULT Body(const Tree& root, BSTR* out) { return frame::ToBstr(current::BodyText(root), out); }
    static HRESULT AttachmentList(const Tree& root, BSTR* out) {
        return frame::ToBstr(current::AttachmentList(root), out);
    }
    static const mime::current::Part* Find(const Tree& root, BSTR name) {
        // A null BSTR is an empty name.
        const std::u16string_view wanted(reinterpret_cast<const char16_t*>(name), SysStringLen(name));
        return current::FindAttachmentByName(root, wanted);
    }
    static std::string ContentType(const mime::current::Part& part) { return current::AttachmentContentType(part); }
};

// GetHtmlBody: the body is the HTML.
struct HtmlRules : UnicodeRules {
    static HRESULT Body(const Tree& root, BSTR* out) { return frame::ToBstr(current::HtmlBody(root), out); }
};

// GetInlineFile: the part is found by its Content-ID.
struct InlineRules : UnicodeRules {
    static const mime::current::Part* Find(const Tree& root, BSTR contentId) {
        const std::u16string_view wanted(reinterpret_cast<const char16_t*>(contentId), SysStringLen(contentId));
        return current::FindPartByContentId(root, wanted);
    }
};

}  // namespace

HRESULT MailReader::GetTitleInfo(long nIndex, BSTR* saTitleInfo) {
    return TitleInfoBy<UnicodeRules>(nIndex, saTitleInfo);
}
HRESULT MailReader::GetBody(long nIndex, BSTR* sReturnBody) { return BodyBy<UnicodeRules>(nIndex, sReturnBody); }
HRESULT MailReader::GetAllFileName(long nIndex, BSTR* sListFile) {
    return AllFileNameBy<UnicodeRules>(nIndex, sListFile);
}
HRESULT MailReader::GetFile(long nIndex, BSTR sFileName, long* bSucceed) {
    return FileBy<UnicodeRules>(nIndex, sFileName, bSucceed);
}
HRESULT MailReader::GetHtmlBody(long nIndex, BSTR* sHtmlBody) { return BodyBy<HtmlRules>(nIndex, sHtmlBody); }
HRESULT MailReader::GetInlineFile(long nIndex, BSTR sContentId, long* bSucceed) {
    return FileBy<InlineRules>(nIndex, sContentId, bSucceed);
}

}  // namespace tarnwick::mailbox
