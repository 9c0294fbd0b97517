// The properties Windows shows for zelvon.exe: the project's one version, in the fixed
// numbers and in the texts, under the language the strings are looked up by.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "driver.h"

using namespace e2e;

namespace {

#define WIDEN_(text) L##text
#define WIDEN(text) WIDEN_(text)

// A text of the string table that the first translation names, which is the one the
// file's properties show; empty when there is none.
std::wstring version_text(const std::vector<BYTE>& info, const wchar_t* name) {
    struct translation_t {
        WORD language, code_page;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof *translation)
        return {};
    wchar_t key[64];
    swprintf(key, 64, L"\\StringFileInfo\\%04X%04X\\%ls", translation->language,
             translation->code_page, name);
    void* value = nullptr;
    if (!VerQueryValueW(info.data(), key, &value, &length) || length == 0) return {};
    return static_cast<const wchar_t*>(value);
}

} // namespace

TEST(Package, TheExeShowsTheProjectVersion) {
    const std::wstring exe = zelvon_path();
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    ASSERT_FALSE(info.empty()) << "no version resource in " << exe;
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, DWORD(info.size()), info.data()));

    const std::wstring version = WIDEN(ZELVON_VERSION);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(swscanf(version.c_str(), L"%u.%u.%u", &major, &minor, &patch), 3);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_GE(size, sizeof *fixed);
    EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwProductVersionLS, patch << 16);

    EXPECT_EQ(version_text(info, L"FileVersion"), version);
    EXPECT_EQ(version_text(info, L"ProductVersion"), version);
    EXPECT_EQ(version_text(info, L"ProductName"), L"zelvon");
    EXPECT_FALSE(version_text(info, L"FileDescription").empty());
    EXPECT_NE(version_text(info, L"LegalCopyright").find(L"the zelvon developers"),
              std::wstring::npos);
}
