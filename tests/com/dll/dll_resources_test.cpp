// The embedded resources: the type library (read with LoadTypeLibEx without
// registering it) and the version block, both in language 2052.
#include <vector>

#include "dll_fixture.h"

#include <oleauto.h>

namespace kelvora::dlltest {
namespace {

constexpr WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 2052

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) out += static_cast<char>(*text);
    return out;
}

TEST_F(DllTest, ResourcesAreInChinesePrc) {
    EXPECT_EQ(kChinesePrc, 2052);
    EXPECT_NE(FindResourceExW(module_, L"TYPELIB", MAKEINTRESOURCEW(1), kChinesePrc), nullptr);
    EXPECT_NE(FindResourceExW(module_, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), kChinesePrc), nullptr);  // RT_VERSION
}

TEST_F(DllTest, TypeLibraryDescribesTheTwoCoclasses) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kLibid));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x0409u);
    EXPECT_EQ(attributes->syskind, SYS_WIN32);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name), "Kelvora");
    EXPECT_EQ(Narrow(help), "");
    SysFreeString(name);
    SysFreeString(help);

    const struct {
        const char* name;
        TYPEKIND kind;
        const GUID* guid;
        const char* implemented;  // coclasses: their one default interface
    } expected[] = {
        {"ISMSServer", TKIND_DISPATCH, &kServerDispatchIid, nullptr},
        {"SMSServer", TKIND_COCLASS, &kServerClsid, "ISMSServer"},
        {"ISMSClient", TKIND_DISPATCH, &kClientDispatchIid, nullptr},
        {"SMSClient", TKIND_COCLASS, &kClientClsid, "ISMSClient"},
    };
    ASSERT_EQ(library->GetTypeInfoCount(), 4u);
    for (UINT i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].name);
        ASSERT_EQ(library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(Narrow(name), expected[i].name);
        SysFreeString(name);

        ITypeInfo* info = nullptr;
        ASSERT_EQ(library->GetTypeInfo(i, &info), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, expected[i].kind);
        EXPECT_TRUE(IsEqualGUID(type->guid, *expected[i].guid));
        if (expected[i].kind == TKIND_DISPATCH) {
            EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
            EXPECT_EQ(type->cFuncs, 0);
            EXPECT_EQ(type->cVars, 0);
        } else {
            EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
            ASSERT_EQ(type->cImplTypes, 1);
            INT flags = 0;
            EXPECT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
            EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
            HREFTYPE reference = 0;
            ITypeInfo* implemented = nullptr;
            ASSERT_EQ(info->GetRefTypeOfImplType(0, &reference), S_OK);
            ASSERT_EQ(info->GetRefTypeInfo(reference, &implemented), S_OK);
            ASSERT_EQ(implemented->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
            EXPECT_EQ(Narrow(name), expected[i].implemented);
            SysFreeString(name);
            implemented->Release();
        }
        info->ReleaseTypeAttr(type);
        info->Release();
    }
    library->Release();

    // Reading it registered nothing.
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TypeLib\\{44447898-9331-4080-9984-34387D82CD6F}", 0, KEY_READ, &key),
              ERROR_SUCCESS);
}

TEST_F(DllTest, VersionBlockCarriesTheProductStrings) {
    const std::wstring path = ModulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 1200);

    const struct {
        const wchar_t* name;
        const char* value;
    } strings[] = {
        {L"FileVersion", "1, 0, 0, 1"},
        {L"ProductVersion", "1, 0, 0, 1"},
        {L"FileDescription", "Kelvora DLL"},
        {L"InternalName", "Kelvora"},
        {L"OriginalFilename", "Kelvora.DLL"},
        {L"ProductName", "Kelvora Dynamic Link Library"},
        {L"CompanyName", ""},
        {L"LegalTrademarks", ""},
        {L"OLESelfRegister", ""},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(Narrow(s.name));
        const std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + s.name;
        wchar_t* value = nullptr;
        length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(Narrow(value), s.value);
    }
    wchar_t* value = nullptr;
    EXPECT_FALSE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404B0\\Comments", reinterpret_cast<void**>(&value),
                                &length));
}

}  // namespace
}  // namespace kelvora::dlltest
