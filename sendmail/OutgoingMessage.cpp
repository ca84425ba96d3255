#include "sendmail/OutgoingMessage.h"

#include <mutex>

#include "platform/Clock.h"

namespace tarnwick::sendmail {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kEndOfData[] = "\r\n.\r\n";

// strftime's "%a" and "%b" follow the process locale; the header is always
// English, so the names come from here.
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// std::localtime hands out one shared result; messages may be built on
// several threads at once.
std::mutex& LocalTimeLock() {
    static std::mutex lock;
    return lock;
}

bool IsRecipientSeparator(char c) { return c == ';' || c == ','; }

// A posted value on one header line: a CR or LF in it would start a header
// line of the sender's making. Neither byte is ever the second byte of a
// double-byte character, so each goes on its own.
std::string OneLine(std::string value) {
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return value;
}

}  // namespace

std::string FormatDate(std::time_t t) {
    // strftime still does the digits, the zone name and the buffer limit:
    // the pattern is "%a, %d %b %y %H:%M:%S %Z" with the names filled in.
    std::lock_guard<std::mutex> hold(LocalTimeLock());
    const std::tm* local = std::localtime(&t);
    if (local == nullptr || local->tm_wday < 0 || local->tm_wday > 6 || local->tm_mon < 0 ||
        local->tm_mon > 11)
        return {};
    const std::string pattern = std::string(kDayNames[local->tm_wday]) + ", %d " +
                                kMonthNames[local->tm_mon] + " %y %H:%M:%S %Z";
    char date[kDateBufferBytes];
    const std::size_t n = std::strftime(date, sizeof date, pattern.c_str(), local);
    return std::string(date, n);   // 0 bytes when it does not fit
}

OutgoingMessage::OutgoingMessage() : timeSource_(platform::CurrentTime) {}

OutgoingMessage::~OutgoingMessage() = default;

void OutgoingMessage::BuildHeaders() {
    AddHeaderLine("From: " + OneLine(from_));

    std::string to = "To: ";
    for (std::size_t i = 0; i < recipients_.size(); ++i) {
        if (i != 0) to += ',';
        to += OneLine(recipients_[i].displayName) + "<" + OneLine(recipients_[i].address) + ">";
    }
    AddHeaderLine(to);

    date_ = timeSource_();
    AddHeaderLine("Date: " + FormatDate(date_));
    AddHeaderLine("Subject: " + OneLine(subject_));
    AddHeaderLine("X-Mailer: " + mailer_);
}

void OutgoingMessage::WriteEnd(std::FILE* file) {
    std::fwrite(kEndOfData, 1, sizeof kEndOfData - 1, file);
}

void OutgoingMessage::EndHeaders() { header_ += kLineEnd; }

void OutgoingMessage::ClearHeaders() { header_.clear(); }

void OutgoingMessage::AddHeaderLine(const std::string& line) {
    header_ += line;
    header_ += kLineEnd;
}

bool OutgoingMessage::ParseRecipients(const std::string& toText) {
    // Every text has at least one token: the end of the text closes the
    // last one, so a separator at the very end gives a last, empty token.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= toText.size(); ++i) {
        if (i < toText.size() && !IsRecipientSeparator(toText[i])) continue;
        const std::string token = toText.substr(start, i - start);
        start = i + 1;
        const std::size_t open = token.find('<');
        if (open == std::string::npos) {
            AddRecipient(token, std::string());
            continue;
        }
        const std::size_t close = token.find('>');
        if (close == std::string::npos || close < open) return false;
        AddRecipient(token.substr(open + 1, close - open - 1), token.substr(0, open));
    }
    return true;
}

void OutgoingMessage::AddRecipient(const std::string& address, const std::string& displayName) {
    recipients_.push_back(Recipient{address, displayName});
}

long OutgoingMessage::RecipientCount() const { return static_cast<long>(recipients_.size()); }

bool OutgoingMessage::GetRecipient(long index, std::string& address, std::string& displayName) const {
    if (index < 0 || index >= RecipientCount()) return false;
    const Recipient& r = recipients_[static_cast<std::size_t>(index)];
    address = r.address;
    displayName = r.displayName;
    return true;
}

void OutgoingMessage::WriteTo(std::FILE* file) {
    if (file == nullptr) return;
    ClearHeaders();
    BuildHeaders();
    EndHeaders();
    std::fwrite(header_.data(), 1, header_.size(), file);
    WriteBody(file);
    WriteEnd(file);
}

}  // namespace tarnwick::sendmail
