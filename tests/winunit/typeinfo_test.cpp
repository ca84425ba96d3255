// Dispatch through the registered type library: member names, DISPIDs,
// help strings (read in the system code page) and calls by DISPID.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "Tarnwick_h.h"

namespace {

class TypeInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_Mail, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&mail)),
                  S_OK)
            << "Tarnwick.dll must be registered";
    }
    void TearDown() override {
        if (mail) mail->Release();
    }

    DISPID IdOf(IDispatch* object, const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 12345;
        HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return SUCCEEDED(hr) ? id : DISPID_UNKNOWN;
    }

    std::wstring HelpString(ITypeInfo* info, MEMBERID id) {
        BSTR doc = nullptr;
        if (FAILED(info->GetDocumentation(id, nullptr, &doc, nullptr, nullptr))) return L"<none>";
        std::wstring text = doc ? std::wstring(doc, SysStringLen(doc)) : L"";
        SysFreeString(doc);
        return text;
    }

    IDispatch* mail = nullptr;
};

TEST_F(TypeInfoTest, MembersHaveTheirDispids) {
    struct { const wchar_t* name; DISPID id; } members[] = {
        {L"OnStartPage", 0x60020000}, {L"OnEndPage", 0x60020001}, {L"GetTitleInfo", 1},
        {L"sUserName", 2},            {L"sPassWord", 3},          {L"sMailPath", 5},
        {L"GetBody", 6},              {L"GetAllFileName", 7},     {L"GetFile", 8},
        {L"bDebug", 9},               {L"MailCount", 10},         {L"Encode", 11},
        {L"Decode", 12},              {L"Login", 13},             {L"About", 14},
        {L"ChangePassWD", 15},        {L"AddUser", 16},           {L"DelUser", 17},
        {L"DeleteMail", 18},
    };
    for (const auto& m : members) EXPECT_EQ(IdOf(mail, m.name), m.id) << std::string(m.name, m.name + wcslen(m.name));
    // Scripts may write names in any letter case.
    EXPECT_EQ(IdOf(mail, L"mailcount"), 10);
    EXPECT_EQ(IdOf(mail, L"NoSuchMember"), DISPID_UNKNOWN);
}

TEST_F(TypeInfoTest, OtherInterfacesHaveTheirDispids) {
    struct { const CLSID* clsid; const wchar_t* name; DISPID id; } members[] = {
        {&CLSID_HanZi, L"HZ2GB", 1},         {&CLSID_SendMail, L"Send", 1},
        {&CLSID_SendMail, L"Form", 2},        {&CLSID_SendMail, L"sTempPath", 3},
        {&CLSID_SendMail, L"sMailPath", 4},   {&CLSID_SendMail, L"OnStartPage", 0x60020000},
        {&CLSID_Upload, L"SaveFile", 1},      {&CLSID_Upload, L"Form", 2},
        {&CLSID_Upload, L"IsFile", 3},        {&CLSID_Upload, L"FileSize", 4},
        {&CLSID_Upload, L"TargetDir", 5},     {&CLSID_Upload, L"GetFileData", 6},
        {&CLSID_Upload, L"FormName", 7},      {&CLSID_Upload, L"TotalCount", 8},
        {&CLSID_Upload, L"OnEndPage", 0x60020001},
        {&CLSID_MailWriter, L"Send", 1},      {&CLSID_MailWriter, L"Form", 2},
        {&CLSID_MailWriter, L"sTempPath", 3}, {&CLSID_MailWriter, L"sMailPath", 4},
        {&CLSID_MailWriter, L"OnStartPage", 0x60020000}, {&CLSID_MailWriter, L"OnEndPage", 0x60020001},
        {&CLSID_MailReader, L"GetBody", 6},   {&CLSID_MailReader, L"DeleteMail", 18},
        {&CLSID_MailReader, L"GetHtmlBody", 19}, {&CLSID_MailReader, L"GetInlineFile", 20},
    };
    for (const auto& m : members) {
        IDispatch* object = nullptr;
        ASSERT_EQ(CoCreateInstance(*m.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        EXPECT_EQ(IdOf(object, m.name), m.id);
        object->Release();
    }
}

// The interface a coclass of the type library names as its default.
GUID DefaultInterfaceOf(ITypeLib* lib, const CLSID& clsid) {
    GUID found = GUID_NULL;
    ITypeInfo* coclass = nullptr;
    if (FAILED(lib->GetTypeInfoOfGuid(clsid, &coclass))) return found;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(coclass->GetTypeAttr(&attr))) {
        for (UINT i = 0; attr->typekind == TKIND_COCLASS && i < attr->cImplTypes; ++i) {
            INT flags = 0;
            HREFTYPE ref = 0;
            ITypeInfo* implemented = nullptr;
            if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FDEFAULT) ||
                FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, &implemented)))
                continue;
            TYPEATTR* implementedAttr = nullptr;
            if (SUCCEEDED(implemented->GetTypeAttr(&implementedAttr))) {
                found = implementedAttr->guid;
                implemented->ReleaseTypeAttr(implementedAttr);
            }
            implemented->Release();
        }
        coclass->ReleaseTypeAttr(attr);
    }
    coclass->Release();
    return found;
}

TEST_F(TypeInfoTest, MailWriterIsACoclassOfISendMail) {
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TARNWICKLib, 1, 0, LOCALE_USER_DEFAULT, &lib), S_OK);
    EXPECT_TRUE(IsEqualGUID(DefaultInterfaceOf(lib, CLSID_MailWriter), IID_ISendMail));
    EXPECT_TRUE(IsEqualGUID(DefaultInterfaceOf(lib, CLSID_SendMail), IID_ISendMail));
    BSTR name = nullptr;
    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_MailWriter, &coclass), S_OK);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"MailWriter");
    SysFreeString(name);
    coclass->Release();

    // The object describes itself by the same interface.
    IDispatch* writer = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MailWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&writer)),
              S_OK);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(writer->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ISendMail));
    info->ReleaseTypeAttr(attr);
    info->Release();
    writer->Release();
    lib->Release();
}

TEST_F(TypeInfoTest, IMailReaderIsReachable) {
    IID expected;
    ASSERT_EQ(IIDFromString(L"{E0C66C7B-13E5-400E-8DE8-0EF2E240642A}", &expected), S_OK);
    ASSERT_TRUE(IsEqualGUID(IID_IMailReader, expected));
    IUnknown* reader = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MailReader, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&reader)),
              S_OK);
    IDispatch* second = nullptr;
    ASSERT_EQ(reader->QueryInterface(expected, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(IdOf(second, L"GetHtmlBody"), 19);
    EXPECT_EQ(IdOf(second, L"GetInlineFile"), 20);
    second->Release();
    reader->Release();

    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TARNWICKLib, 1, 0, LOCALE_USER_DEFAULT, &lib), S_OK);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(expected, &info), S_OK);
    struct { const wchar_t* name; MEMBERID id; } members[] = {{L"GetHtmlBody", 19}, {L"GetInlineFile", 20}};
    for (const auto& m : members) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(m.name)};
        MEMBERID id = MEMBERID_NIL;
        EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
        EXPECT_EQ(id, m.id);
    }
    info->Release();
    lib->Release();
}

TEST_F(TypeInfoTest, HelpStringsReadAsChineseText) {
    ITypeInfo* info = nullptr;
    ASSERT_EQ(mail->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    EXPECT_EQ(HelpString(info, MEMBERID_NIL), L"IMail Interface");
    EXPECT_EQ(HelpString(info, 2), L"\u7528\u6237\u540d");                    // user name
    EXPECT_EQ(HelpString(info, 7), L"\u8fd4\u56de\u6307\u5b9a\u90ae\u4ef6\u6240\u6709\u9644\u4ef6");
    EXPECT_EQ(HelpString(info, 8), L"method GetFile");
    EXPECT_EQ(HelpString(info, 9), L"\u662f\u5426\u5728VB\u4e2d\u8c03\u8bd5");
    ITypeLib* lib = nullptr;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(&lib, &index), S_OK);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"TARNWICKLib");
    EXPECT_STREQ(doc, L"\u90ae\u4ef6ASP\u7ec4\u4ef6");
    SysFreeString(name);
    SysFreeString(doc);
    lib->Release();
    info->Release();
}

TEST_F(TypeInfoTest, TypeInfoCallsCheckTheirArguments) {
    UINT count = 0;
    EXPECT_EQ(mail->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(mail->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

TEST_F(TypeInfoTest, InvokeReachesTheObject) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"alice");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &named, 1, 1};
    ASSERT_EQ(mail->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    VariantClear(&value);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(mail->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"alice");
    VariantClear(&result);
}

}  // namespace
