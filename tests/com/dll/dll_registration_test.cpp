// Self-registration: "regsvr32 /s" twice, the registry read back after each
// time, and DllRegisterServer's own answer.
#include <map>

#include "dll_fixture.h"

namespace kelvora::dlltest {
namespace {

// A key's default or named string value; "<none>" when it is absent.
std::wstring ReadString(const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return value;
}

// Sub-keys and values of a key, "<none>" when it is absent.
std::wstring Shape(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return L"<none>";
    DWORD subKeys = 0, values = 0;
    RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(handle);
    return std::to_wstring(subKeys) + L" keys, " + std::to_wstring(values) + L" values";
}

using Snapshot = std::map<std::wstring, std::wstring>;

Snapshot ReadRegistration() {
    Snapshot snapshot;
    const struct {
        const wchar_t* clsid;
        const wchar_t* progId;
    } classes[] = {{L"{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}", L"Kelvora.SMSClient"},
                   {L"{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}", L"Kelvora.SMSServer"}};
    for (const auto& c : classes) {
        const std::wstring key = std::wstring(L"CLSID\\") + c.clsid;
        snapshot[key] = ReadString(key, nullptr);
        snapshot[key + L" shape"] = Shape(key);
        snapshot[key + L"\\InprocServer32"] = ReadString(key + L"\\InprocServer32", nullptr);
        snapshot[key + L"\\InprocServer32 ThreadingModel"] = ReadString(key + L"\\InprocServer32", L"ThreadingModel");
        snapshot[key + L"\\InprocServer32 shape"] = Shape(key + L"\\InprocServer32");
        snapshot[key + L"\\ProgID"] = ReadString(key + L"\\ProgID", nullptr);
        snapshot[c.progId] = ReadString(c.progId, nullptr);
        snapshot[std::wstring(c.progId) + L"\\CLSID"] = ReadString(std::wstring(c.progId) + L"\\CLSID", nullptr);
    }
    return snapshot;
}

// Runs regsvr32 /s on the DLL and returns its exit code (-1: did not finish).
DWORD RunRegsvr32() {
    std::wstring command = L"regsvr32.exe /s \"" + DllPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return static_cast<DWORD>(-1);
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST_F(DllTest, Regsvr32TwiceWritesTheSameRegistration) {
    ASSERT_EQ(RunRegsvr32(), 0u);
    const Snapshot first = ReadRegistration();
    ASSERT_EQ(RunRegsvr32(), 0u);
    const Snapshot second = ReadRegistration();
    EXPECT_EQ(first, second);

    const std::wstring client = L"CLSID\\{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}";
    const std::wstring server = L"CLSID\\{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}";
    EXPECT_EQ(second.at(client), L"Kelvora.SMSClient");
    EXPECT_EQ(second.at(server), L"Kelvora.SMSServer");
    EXPECT_EQ(_wcsicmp(second.at(client + L"\\InprocServer32").c_str(), ModulePath().c_str()), 0)
        << "registered server path differs from " << std::string(ModulePath().begin(), ModulePath().end());
    EXPECT_EQ(second.at(client + L"\\InprocServer32"), second.at(server + L"\\InprocServer32"));
    EXPECT_EQ(second.at(client + L"\\InprocServer32 ThreadingModel"), L"Apartment");
    EXPECT_EQ(second.at(server + L"\\InprocServer32 ThreadingModel"), L"Apartment");
    EXPECT_EQ(second.at(client + L"\\InprocServer32 shape"), L"0 keys, 2 values");
    EXPECT_EQ(second.at(client + L"\\ProgID"), L"Kelvora.SMSClient");
    EXPECT_EQ(second.at(server + L"\\ProgID"), L"Kelvora.SMSServer");
    EXPECT_EQ(second.at(L"Kelvora.SMSClient"), L"Kelvora.SMSClient");
    EXPECT_EQ(second.at(L"Kelvora.SMSClient\\CLSID"), L"{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}");
    EXPECT_EQ(second.at(L"Kelvora.SMSServer\\CLSID"), L"{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}");

    // The type library is not registered.
    EXPECT_EQ(Shape(L"TypeLib\\{44447898-9331-4080-9984-34387D82CD6F}"), L"<none>");
}

TEST_F(DllTest, DllRegisterServerAnswersSOkEveryTime) {
    EXPECT_EQ(registerServer_(), S_OK);
    const Snapshot first = ReadRegistration();
    EXPECT_EQ(registerServer_(), S_OK);
    EXPECT_EQ(ReadRegistration(), first);
    EXPECT_EQ(first.at(L"Kelvora.SMSServer\\CLSID"), L"{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}");
}

}  // namespace
}  // namespace kelvora::dlltest
