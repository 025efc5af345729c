// SecretFile on Windows: the file's DACL may allow only its owner, this
// process's user, SYSTEM and Administrators (Wine shows a file's POSIX mode
// as such a DACL, with Everyone for the other bits). A new file is created
// with exactly those three, not inherited from its folder; a replacement is
// written beside it, flushed, and moved over it with MoveFileEx
// (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>

#include "platform/secret_file.h"

namespace kelvora {

namespace {

std::string ErrorText(DWORD error) {
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                   sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return (message.empty() ? "Windows error" : message) + " (" + std::to_string(error) + ")";
}

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return "?";
    std::string result(text);
    LocalFree(text);
    return result;
}

// This process's user as an SID text ("S-1-5-21-..."), empty when unknown.
std::string ProcessUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    alignas(TOKEN_USER) char buffer[256];
    DWORD size = 0;
    const bool got = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) != 0;
    CloseHandle(token);
    return got ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : std::string();
}

// Who the DACL lets in beyond the owner, this user, SYSTEM and
// Administrators; empty when nobody.
std::string Strangers(const std::string& path, std::string* why) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                              &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        *why = ErrorText(error);
        return "?";
    }
    std::unique_ptr<void, decltype(&LocalFree)> free(descriptor, &LocalFree);
    if (dacl == nullptr) return "everyone (the file has no access list)";
    const std::string allowed[] = {SidText(owner), ProcessUser(), "S-1-5-18", "S-1-5-32-544"};
    std::string strangers;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        if (static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        const std::string sid = SidText(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart);
        bool known = false;
        for (const std::string& a : allowed) known = known || (!a.empty() && a == sid);
        if (!known) strangers += (strangers.empty() ? "" : ", ") + sid;
    }
    return strangers;
}

bool WriteNew(const std::string& path, const std::string& bytes, std::string* why) {
    const std::string user = ProcessUser();
    if (user.empty()) {
        *why = "this process's user is not known";
        return false;
    }
    // Protected (P): nothing inherited from the folder.
    const std::string sddl = "D:P(A;;FA;;;" + user + ")(A;;FA;;;SY)(A;;FA;;;BA)";
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &attributes.lpSecurityDescriptor, nullptr)) {
        *why = ErrorText(GetLastError());
        return false;
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    const DWORD createError = GetLastError();
    LocalFree(attributes.lpSecurityDescriptor);
    if (file == INVALID_HANDLE_VALUE) {
        *why = createError == ERROR_FILE_EXISTS ? "it exists already" : ErrorText(createError);
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    if (!ok) *why = ErrorText(GetLastError());
    CloseHandle(file);
    if (!ok) DeleteFileA(path.c_str());
    return ok;
}

}  // namespace

bool ReadSecretFile(const std::string& path, std::string* contents, std::string* why, bool* missing) {
    contents->clear();
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (missing != nullptr) {
        *missing = file == INVALID_HANDLE_VALUE && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    }
    if (file == INVALID_HANDLE_VALUE) {
        *why = ErrorText(error);
        return false;
    }
    bool ok = true;
    const std::string strangers = Strangers(path, why);
    if (strangers == "?") {
        ok = false;
    } else if (!strangers.empty()) {
        *why = "others than its owner may reach it (allowed: " + strangers + ")";
        ok = false;
    }
    char buffer[4096];
    while (ok) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            *why = ErrorText(GetLastError());
            ok = false;
        } else if (n == 0) {
            break;
        } else if (contents->size() + n > kMaxSecretFileBytes) {
            *why = "it is larger than a key or counters file can be";
            ok = false;
        } else {
            contents->append(buffer, n);
        }
    }
    CloseHandle(file);
    if (!ok) contents->clear();
    return ok;
}

bool WriteSecretFile(const std::string& path, const std::string& contents, bool replace, std::string* why) {
    if (!replace) return WriteNew(path, contents, why);
    const std::string sibling = path + ".new";
    DeleteFileA(sibling.c_str());  // left by a crash between writing and moving
    if (!WriteNew(sibling, contents, why)) return false;
    if (!MoveFileExA(sibling.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *why = ErrorText(GetLastError());
        DeleteFileA(sibling.c_str());
        return false;
    }
    return true;
}

}  // namespace kelvora
