// The module as a client loads it: entry points, factories, lock count,
// aggregation and interface identity.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "Tarnwick_h.h"

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

const CLSID* const kClasses[] = {&CLSID_Mail, &CLSID_HanZi, &CLSID_SendMail, &CLSID_Upload, &CLSID_MailReader,
                                   &CLSID_MailWriter};
const IID* const kInterfaces[] = {&IID_IMail, &IID_IHanZi, &IID_ISendMail, &IID_IUpload, &IID_IMail, &IID_ISendMail};
constexpr int kClassCount = sizeof kClasses / sizeof kClasses[0];

// The DLL under test, loaded by path from TARNWICK_DLL (the runner sets it).
class ModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        char path[MAX_PATH] = "Tarnwick.dll";
        GetEnvironmentVariableA("TARNWICK_DLL", path, MAX_PATH);
        module = LoadLibraryA(path);
        ASSERT_NE(module, nullptr) << "cannot load " << path;
        getClassObject = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        canUnload = reinterpret_cast<CanUnloadFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        ASSERT_NE(getClassObject, nullptr);
        ASSERT_NE(canUnload, nullptr);
    }

    IClassFactory* Factory(const CLSID& clsid) {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        return factory;
    }

    static HMODULE module;
    static GetClassObjectFn getClassObject;
    static CanUnloadFn canUnload;
};

HMODULE ModuleTest::module = nullptr;
GetClassObjectFn ModuleTest::getClassObject = nullptr;
CanUnloadFn ModuleTest::canUnload = nullptr;

// A minimal outer object for aggregation: it owns the inner unknown.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    IUnknown* inner = nullptr;
    ULONG refs = 1;
};

TEST_F(ModuleTest, UnknownClassIsNotAvailable) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IMail, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
}

TEST_F(ModuleTest, FactoriesAnswerOnlyUnknownAndClassFactory) {
    for (const CLSID* clsid : kClasses) {
        IClassFactory* factory = Factory(*clsid);
        ASSERT_NE(factory, nullptr);
        IUnknown* unknown = nullptr;
        EXPECT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        EXPECT_EQ(unknown, static_cast<IUnknown*>(factory));
        unknown->Release();
        void* other = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
        factory->Release();
    }
}

TEST_F(ModuleTest, LockCountFollowsInstancesFactoriesAndLockServer) {
    ASSERT_EQ(canUnload(), S_OK);
    for (int i = 0; i < kClassCount; ++i) {
        IClassFactory* factory = Factory(*kClasses[i]);
        ASSERT_NE(factory, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE) << "a client holds the factory";

        IDispatch* object = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, *kInterfaces[i], reinterpret_cast<void**>(&object)), S_OK);
        factory->Release();
        EXPECT_EQ(canUnload(), S_FALSE) << "an instance lives";
        object->Release();
        EXPECT_EQ(canUnload(), S_OK);

        factory = Factory(*kClasses[i]);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        factory->Release();
        EXPECT_EQ(canUnload(), S_FALSE) << "the server is locked";
        factory = Factory(*kClasses[i]);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
        factory->Release();
        EXPECT_EQ(canUnload(), S_OK);
    }
}

TEST_F(ModuleTest, CreateInstanceChecksItsArguments) {
    IClassFactory* factory = Factory(CLSID_Mail);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMail, nullptr), E_POINTER);
    Outer outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IMail, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    factory->Release();
    EXPECT_EQ(canUnload(), S_OK) << "a failed creation leaves nothing alive";
}

TEST_F(ModuleTest, OwnInterfaceDispatchAndUnknownAreOnePointer) {
    for (int i = 0; i < kClassCount; ++i) {
        IClassFactory* factory = Factory(*kClasses[i]);
        IUnknown* unknown = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        factory->Release();
        void* own = nullptr;
        void* dispatch = nullptr;
        ASSERT_EQ(unknown->QueryInterface(*kInterfaces[i], &own), S_OK);
        ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, &dispatch), S_OK);
        EXPECT_EQ(own, static_cast<void*>(unknown));
        EXPECT_EQ(dispatch, static_cast<void*>(unknown));
        void* other = reinterpret_cast<void*>(1);
        EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
        EXPECT_EQ(unknown->QueryInterface(IID_ISupportErrorInfo, &other), E_NOINTERFACE);
        const IID& foreign = *kInterfaces[i] == IID_IHanZi ? IID_IMail : IID_IHanZi;
        EXPECT_EQ(unknown->QueryInterface(foreign, &other), E_NOINTERFACE);
        EXPECT_EQ(unknown->QueryInterface(IID_IMail, nullptr), E_POINTER);
        static_cast<IUnknown*>(own)->Release();
        static_cast<IUnknown*>(dispatch)->Release();
        EXPECT_EQ(unknown->Release(), 0u);
    }
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ModuleTest, EveryClassCanBeAggregated) {
    for (int i = 0; i < kClassCount; ++i) {
        IClassFactory* factory = Factory(*kClasses[i]);
        Outer outer;
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
        factory->Release();
        ASSERT_NE(outer.inner, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE);

        // Interfaces of the inner object count references on the outer one
        // and answer interface requests through it.
        IDispatch* dispatch = nullptr;
        ASSERT_EQ(outer.inner->QueryInterface(*kInterfaces[i], reinterpret_cast<void**>(&dispatch)), S_OK);
        EXPECT_EQ(outer.refs, 2u);
        IUnknown* viaInner = nullptr;
        ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInner)), S_OK);
        EXPECT_EQ(viaInner, static_cast<IUnknown*>(&outer));
        viaInner->Release();
        UINT count = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        dispatch->Release();
        EXPECT_EQ(outer.refs, 1u);

        EXPECT_EQ(outer.inner->Release(), 0u);
        EXPECT_EQ(canUnload(), S_OK);
    }
}

}  // namespace
