// Result codes of the reading methods of Mail and MailReader as a compiled
// client sees them (scripts cannot tell S_FALSE from S_OK).
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "Tarnwick_h.h"

namespace {

class MailResultsTest : public ::testing::TestWithParam<const CLSID*> {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        store = std::string(temp) + "tarnwick-mail-results\\";
        box = store + "ann\\mailbox\\";
        CreateDirectoryA(store.c_str(), nullptr);
        CreateDirectoryA((store + "ann").c_str(), nullptr);
        CreateDirectoryA(box.c_str(), nullptr);
        ASSERT_EQ(CoCreateInstance(*GetParam(), nullptr, CLSCTX_INPROC_SERVER, IID_IMail,
                                   reinterpret_cast<void**>(&mail)),
                  S_OK);
        SetString(&IMail::put_sMailPath, store);
        SetString(&IMail::put_sUserName, "ann");
    }
    void TearDown() override {
        if (mail) mail->Release();
        DeleteFileA((box + "m.in").c_str());
        RemoveDirectoryA(box.c_str());
        RemoveDirectoryA((store + "ann").c_str());
        RemoveDirectoryA(store.c_str());
    }

    void SetString(HRESULT (STDMETHODCALLTYPE IMail::*put)(BSTR), const std::string& value) {
        std::wstring wide(value.begin(), value.end());
        BSTR s = SysAllocString(wide.c_str());
        (mail->*put)(s);
        SysFreeString(s);
    }

    void Write(const std::string& bytes) {
        HANDLE f = CreateFileA((box + "m.in").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
    }

    std::string store, box;
    IMail* mail = nullptr;
};

TEST_P(MailResultsTest, NoSuchMessageIsSuccessWithoutAResult) {
    BSTR text = nullptr;
    EXPECT_EQ(mail->GetTitleInfo(0, &text), S_OK);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(mail->GetBody(-1, &text), S_OK);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(mail->GetAllFileName(0, &text), S_OK);
    ASSERT_NE(text, nullptr) << "the attachment list is assigned empty";
    EXPECT_EQ(SysStringLen(text), 0u);
    SysFreeString(text);
    long ok = 5;
    EXPECT_EQ(mail->GetFile(0, nullptr, &ok), S_OK);
    EXPECT_EQ(ok, 0);
}

TEST_P(MailResultsTest, UnopenableMessageGivesSFalse) {
    Write("");   // an empty file cannot be mapped
    BSTR text = nullptr;
    EXPECT_EQ(mail->GetTitleInfo(0, &text), S_FALSE);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(mail->GetBody(0, &text), S_FALSE);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(mail->GetAllFileName(0, &text), S_FALSE);
    EXPECT_EQ(text, nullptr);
    long ok = 5;
    EXPECT_EQ(mail->GetFile(0, nullptr, &ok), S_FALSE);
    EXPECT_EQ(ok, 0);
}

TEST_P(MailResultsTest, ReadMessageGivesSOkAndAFreshString) {
    // MailReader keeps a slot for every missing field; Mail skips them.
    const bool slots = *GetParam() == CLSID_MailReader;
    Write("Subject: Hi\r\n\r\nbody\r\n");
    BSTR text = nullptr;
    EXPECT_EQ(mail->GetTitleInfo(0, &text), S_OK);
    EXPECT_STREQ(text, slots ? L"||||||||Hi||||||||" : L"Hi||||");
    SysFreeString(text);
    EXPECT_EQ(mail->GetBody(0, &text), S_OK);
    EXPECT_STREQ(text, L"body\r\n");
    SysFreeString(text);
    Write("X-Other: 1\r\n\r\n");
    EXPECT_EQ(mail->GetTitleInfo(0, &text), S_OK);
    ASSERT_NE(text, nullptr) << "no summary field gives a non-null string";
    EXPECT_STREQ(text, slots ? L"||||||||||||||||" : L"");
    SysFreeString(text);
}

TEST_P(MailResultsTest, MessagesOfEverySizeGiveTheirBody) {
    const std::string head = "Subject: s\r\n\r\n";
    for (size_t size : {size_t(100), size_t(256 * 1024), size_t(256 * 1024 + 1), size_t(1) << 20}) {
        std::string body;
        while (body.size() < size - head.size()) body += std::string(1, static_cast<char>('a' + body.size() % 26));
        for (size_t i = 50; i + 1 < body.size(); i += 52) body.replace(i, 2, "\r\n");
        Write(head + body);
        BSTR text = nullptr;
        EXPECT_EQ(mail->GetBody(0, &text), S_OK) << size;
        EXPECT_TRUE(text && std::wstring(text) == std::wstring(body.begin(), body.end())) << size;
        SysFreeString(text);
    }
}

TEST_P(MailResultsTest, AccountOperationsAnswerFixedResults) {
    long result = 7;
    EXPECT_EQ(mail->Login(&result), S_OK);
    EXPECT_EQ(result, 1);
    result = 7;
    EXPECT_EQ(mail->ChangePassWD(nullptr, nullptr, nullptr, &result), S_OK);
    EXPECT_EQ(result, 0);
    result = 7;
    EXPECT_EQ(mail->AddUser(nullptr, nullptr, nullptr, &result), S_OK);
    EXPECT_EQ(result, 0);
    result = 7;
    EXPECT_EQ(mail->DelUser(nullptr, 1, &result), S_OK);
    EXPECT_EQ(result, 7) << "DelUser writes nothing";
}

INSTANTIATE_TEST_SUITE_P(BothReaders, MailResultsTest, ::testing::Values(&CLSID_Mail, &CLSID_MailReader));

}  // namespace
