// The export table of Kelvora.dll (its name and exactly five entries), its
// imports (system DLLs only) and the catalogue reached by the decorated names.
#include <algorithm>
#include <cctype>
#include <set>

#include "dll_fixture.h"

namespace kelvora::dlltest {
namespace {

const IMAGE_NT_HEADERS* NtHeaders(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST_F(DllTest, ExportTableNamesTheLibraryAndFiveEntries) {
    auto* base = reinterpret_cast<const BYTE*>(module_);
    const IMAGE_NT_HEADERS* nt = NtHeaders(module_);
    ASSERT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    ASSERT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "Kelvora.dll");
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) exported.insert(reinterpret_cast<const char*>(base + names[i]));
    EXPECT_EQ(exported, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                               "_GetDeviceInfo@12", "_GetModuleInfo@8"}));
    EXPECT_EQ(exports->NumberOfFunctions, 5u);
    EXPECT_EQ(GetProcAddress(module_, "GetModuleInfo"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "DllUnregisterServer"), nullptr);
}

TEST_F(DllTest, ImportsSystemLibrariesOnly) {
    auto* base = reinterpret_cast<const BYTE*>(module_);
    const IMAGE_DATA_DIRECTORY& directory = NtHeaders(module_)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    // bcrypt.dll: CNG, for authenticated frames (on every Windows since Vista).
    const std::set<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "user32.dll", "ole32.dll",
                                          "oleaut32.dll", "bcrypt.dll"};
    int count = 0;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         entry->Name != 0; ++entry, ++count) {
        const std::string name = Lower(reinterpret_cast<const char*>(base + entry->Name));
        EXPECT_TRUE(system.count(name)) << "imports " << name;
    }
    EXPECT_GT(count, 0);
}

TEST_F(DllTest, CatalogueAnswersThroughTheDecoratedNames) {
    using GetModuleInfoFn = int32_t(WINAPI*)(void*, uint32_t);
    using GetDeviceInfoFn = int32_t(WINAPI*)(int32_t, void*, uint32_t);
    auto moduleInfo = Export<GetModuleInfoFn>(module_, "_GetModuleInfo@8");
    auto deviceInfo = Export<GetDeviceInfoFn>(module_, "_GetDeviceInfo@12");
    ASSERT_NE(moduleInfo, nullptr);
    ASSERT_NE(deviceInfo, nullptr);
    unsigned char record[192];
    std::fill(std::begin(record), std::end(record), 0xAA);
    // The callee pops its arguments: a wrong convention would break the stack here.
    EXPECT_EQ(moduleInfo(record, 143), 0);
    EXPECT_EQ(record[0], 0xAA);
    EXPECT_EQ(moduleInfo(record, 144), 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 4), "Ostrel");
    EXPECT_EQ(deviceInfo(2, record, 192), 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(record), "Tamsk");
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 128), "0F4B9D8E-C612-47A3-B5E0-9A2C6D81F374");
    EXPECT_EQ(deviceInfo(3, record, 192), 0);
}

TEST_F(DllTest, ClassObjectsOnlyForTheTwoClasses) {
    void* object = reinterpret_cast<void*>(1);
    for (const GUID* other : {&kLibid, &kClientDispatchIid, &kServerDispatchIid, &kelvora::IID_IDeviceDriver}) {
        EXPECT_EQ(getClassObject_(*other, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
    }
    for (const CLSID* clsid : {&kClientClsid, &kServerClsid}) {
        IClassFactory* factory = nullptr;
        ASSERT_EQ(getClassObject_(*clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_NE(factory, nullptr);
        factory->Release();
    }
}

}  // namespace
}  // namespace kelvora::dlltest
