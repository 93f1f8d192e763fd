// Activation through class objects registered in the process and through the registry file,
// against the test server library.
#include "TestServer.h"
#include "platform/ComPtr.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// ole32's code for a cookie that names no registration; ComApi.h does not declare it.
constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FBu);
// {6B29FC40-CA47-1067-B31D-00DD010662DA}: the test server's factory registered in the process.
constexpr CLSID CLSID_Registered = {
    0x6B29FC40, 0xCA47, 0x1067, { 0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA }
};
// {B0A1C2D3-E4F5-0617-2839-4A5B6C7D8E9F}: listed with a library that does not exist.
constexpr CLSID CLSID_MissingLibrary = {
    0xB0A1C2D3, 0xE4F5, 0x0617, { 0x28, 0x39, 0x4A, 0x5B, 0x6C, 0x7D, 0x8E, 0x9F }
};
// {00112233-4455-6677-8899-AABBCCDDEEFF}: registered nowhere.
constexpr CLSID CLSID_Unlisted = {
    0x00112233, 0x4455, 0x6677, { 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF }
};

class Activation : public testing::Test
{
protected:
    void SetUp() override
    {
        unsetenv("COMPAT_INPROC_SERVERS");
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    void TearDown() override
    {
        unsetenv("COMPAT_INPROC_SERVERS");
        CoUninitialize();
        EXPECT_EQ(TestServerLiveObjects(), 0) << "references leaked";
    }

    static HRESULT create(REFCLSID clsid, REFIID iid, void **object)
    {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
    }
};

TEST_F(Activation, RegisteredClassObject)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(CLSID_TestServer, IID_IClassFactory, factory.receiveVoid()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_Registered, factory.get(), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    factory.reset(); // the registration keeps its own reference

    ComPtr<IUnknown> object;
    EXPECT_EQ(create(CLSID_Registered, IID_IUnknown, object.receiveVoid()), S_OK);
    EXPECT_TRUE(object);
    EXPECT_EQ(TestServerLiveObjects(), 2); // the registered factory and the object

    void *other = &cookie;
    EXPECT_EQ(create(CLSID_Registered, IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(create(CLSID_Registered, IID_IUnknown, nullptr), E_INVALIDARG);

    object.reset();
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(TestServerLiveObjects(), 0);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    EXPECT_EQ(create(CLSID_Registered, IID_IUnknown, &other), REGDB_E_CLASSNOTREG);
}

TEST_F(Activation, RegistryFile)
{
    std::string path = testing::TempDir() + "compat_inproc_servers_XXXXXX";
    const int fd = mkstemp(path.data());
    ASSERT_GE(fd, 0);
    close(fd);
    {
        // Malformed lines for the test server come first: each is skipped, the last line counts.
        std::ofstream file(path);
        file << "# in-process servers\n"
                "\n"
                "not a registration\n"
                "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}\n"
                "{3F2504E0-4F89-11D3-9A0C-0305E82C3301} compat_test_server.so\n"
                "3F2504E0-4F89-11D3-9A0C-0305E82C3301 " SERVER_PATH "\n"
                "{3F2504E0-4F89-11D3-9A0C-0305E82C33G1} " SERVER_PATH "\n"
                "{B0A1C2D3-E4F5-0617-2839-4A5B6C7D8E9F} /nonexistent/libserver.so\n"
                "  {3f2504e0-4F89-11d3-9a0c-0305E82C3301}\t" SERVER_PATH "  # the test server\n";
    }
    setenv("COMPAT_INPROC_SERVERS", path.c_str(), 1);

    ComPtr<IUnknown> object;
    EXPECT_EQ(create(CLSID_TestServer, IID_IUnknown, object.receiveVoid()), S_OK);
    EXPECT_TRUE(object);
    EXPECT_EQ(TestServerLiveObjects(), 1); // the factory went once the object was made
    object.reset();

    void *other = &path;
    EXPECT_EQ(create(CLSID_TestServer, IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(create(CLSID_Unlisted, IID_IUnknown, &other), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(create(CLSID_MissingLibrary, IID_IUnknown, &other), REGDB_E_CLASSNOTREG);
    std::remove(path.c_str());
}

} // namespace
