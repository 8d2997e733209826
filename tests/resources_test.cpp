// The resources built into vorrel.exe, read from the file as data: each is
// described in words and compared with the design.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

template <typename... Args> std::wstring Text(const wchar_t* format, Args... args) {
    wchar_t text[512];
    std::swprintf(text, 512, format, args...);
    return text;
}

struct Box {
    short x, y, cx, cy; // dialog units
};

// One line for a dialog's frame or for one of its controls.
std::wstring Line(DWORD style, Box box, const std::wstring& what, const std::wstring& text) {
    return Text(L"%08lX %d,%d %dx%d %ls \"%ls\"\n", style, box.x, box.y, box.cx, box.cy,
                what.c_str(), text.c_str());
}

struct Reader {
    const BYTE* at;
    template <typename T> T Get() {
        T value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    // A string, or a number standing for one (for a control, a system class).
    std::wstring Name() {
        WORD c = Get<WORD>();
        if (c == 0xFFFF) {
            c = Get<WORD>();
            return c == 0x80 ? L"Button" : c == 0x82 ? L"Static" : Text(L"#%u", c);
        }
        std::wstring name;
        for (; c != 0; c = Get<WORD>()) {
            name += static_cast<wchar_t>(c);
        }
        return name;
    }
};

// An extended dialog template with a font: its frame, then its controls in
// order. One without DS_SETFONT reads as garbage and so differs all the same.
std::wstring DescribeDialog(const BYTE* data) {
    Reader r{data};
    if (r.Get<DWORD>() != 0xFFFF0001) { // version 1 of the extended template
        return L"not an extended dialog template";
    }
    r.Get<DWORD>(); // help id
    const auto exStyle = r.Get<DWORD>(), style = r.Get<DWORD>();
    const auto controls = r.Get<WORD>();
    const auto box = r.Get<Box>();
    r.Name(); // menu
    r.Name(); // window class
    const std::wstring caption = r.Name();
    const auto points = r.Get<WORD>(), weight = r.Get<WORD>();
    r.Get<WORD>(); // italic, character set
    const std::wstring font = r.Name();
    std::wstring description = Line(
        style, box, Text(L"ex %lX %ls %u pt %u", exStyle, font.c_str(), points, weight), caption);
    for (WORD i = 0; i < controls; ++i) {
        r.at = data + ((r.at - data + 3) & ~3);
        r.at += 8; // help id, extended style
        const auto controlStyle = r.Get<DWORD>();
        const auto controlBox = r.Get<Box>();
        const auto id = r.Get<int>();
        const std::wstring kind = r.Name() + Text(L" %d", id);
        description += Line(controlStyle, controlBox, kind, r.Name());
        r.at += r.Get<WORD>(); // creation data
    }
    return description;
}

std::wstring DescribeVersion(const BYTE* data, DWORD size) {
    std::vector<BYTE> copy(data, data + size); // queries may write to the block
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(copy.data(), L"\\", &value, &length)) {
        return L"no fixed version";
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    auto numbers = [](DWORD high, DWORD low) {
        return Text(L"%u.%u.%u.%u", HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
    };
    std::wstring description = L"file " + numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS) +
                               L" product " +
                               numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    for (const wchar_t* key :
         {L"FileDescription", L"FileVersion", L"ProductName", L"ProductVersion"}) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        const bool found = VerQueryValueW(copy.data(), path.c_str(), &value, &length);
        description += Text(L", %ls %ls", key, found ? static_cast<wchar_t*>(value) : L"-");
    }
    return description;
}

std::wstring Describe(LPCWSTR type, const BYTE* data, DWORD size) {
    std::wstring description;
    if (type == RT_DIALOG) {
        description = DescribeDialog(data);
    } else if (type == RT_BITMAP) {
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
        description = Text(L"%ldx%ld %u-bit", header->biWidth, std::labs(header->biHeight),
                           header->biBitCount);
    } else if (type == RT_GROUP_ICON) {
        // After a 6-byte header, 14 bytes an image: width, height, ..., bits at 6.
        for (WORD i = 0; i < Reader{data + 4}.Get<WORD>(); ++i) {
            const BYTE* image = data + 6 + 14 * i;
            description +=
                Text(L"%ux%u %u-bit; ", image[0], image[1], Reader{image + 6}.Get<WORD>());
        }
    } else if (type == RT_VERSION) {
        description = DescribeVersion(data, size);
    } else { // the manifest: which of these it says
        const std::string text(reinterpret_cast<const char*>(data), size);
        for (const char* part :
             {"level=\"asInvoker\"", "uiAccess=\"false\"", "Common-Controls", "dpiAware"}) {
            if (text.find(part) != std::string::npos) {
                description += std::wstring(part, part + std::strlen(part)) + L"; ";
            }
        }
    }
    return description;
}

TEST(Resources, EachIsAsDesigned) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const struct {
        LPCWSTR type;
        int id;
        std::wstring description;
    } expected[] = {
        {RT_DIALOG, 103,
         Line(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT, {0, 0, 199, 161},
              L"ex 0 MS Shell Dlg 8 pt 0", L"Vorrel v0.4 (Pelorin Pulgin)") +
             Line(child | WS_GROUP | SS_LEFT, {7, 146, 128, 8}, L"Static -1",
                  L"Pelorin Voice Changer is not running!") +
             Line(child | WS_GROUP | SS_CENTER, {7, 124, 185, 8}, L"Static 1003", L"hotkey-> F12") +
             Line(child | WS_TABSTOP | BS_PUSHBUTTON, {148, 144, 44, 13}, L"Button 1001",
                  L"Set hotkey")},
        {RT_DIALOG, 148,
         Line(WS_POPUP | WS_BORDER | WS_SYSMENU | DS_SHELLFONT, {0, 0, 198, 161},
              L"ex 0 MS Shell Dlg 8 pt 400", L"") +
             Line(child | WS_GROUP | SS_CENTER, {7, 71, 178, 8}, L"Static -1",
                  L"Select active hotkey from keyboard/mouse") +
             Line(child | WS_TABSTOP | BS_DEFPUSHBUTTON, {88, 140, 50, 14}, L"Button 1002",
                  L"Apply") +
             Line(child | WS_TABSTOP | BS_DEFPUSHBUTTON, {141, 140, 50, 14}, L"Button 1003",
                  L"Cancel")},
        {RT_BITMAP, 146, L"128x128 24-bit"},
        {RT_BITMAP, 147, L"128x128 24-bit"},
        {RT_GROUP_ICON, 107, L"48x48 32-bit; 32x32 32-bit; 16x16 32-bit; "},
        {RT_VERSION, 1,
         L"file 0.0.0.4 product 0.0.0.4, FileDescription Vorrel for Pelorin, FileVersion 0.0.0.4, "
         L"ProductName Vorrel for Pelorin, ProductVersion 0.0.0.4"},
        {RT_MANIFEST, 1, L"level=\"asInvoker\"; uiAccess=\"false\"; "},
    };

    HMODULE exe = LoadLibraryExW(test_support::SiblingExecutable(L"vorrel.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    for (const auto& e : expected) {
        HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(e.id), e.type);
        const void* data = found ? LockResource(LoadResource(exe, found)) : nullptr;
        const auto* bytes = static_cast<const BYTE*>(data);
        EXPECT_EQ(data ? Describe(e.type, bytes, SizeofResource(exe, found)) : L"missing",
                  e.description)
            << "resource " << e.id;
    }
    FreeLibrary(exe);
}

} // namespace
