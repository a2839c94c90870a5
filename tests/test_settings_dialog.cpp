// The settings dialog: its template as built into VORPAN.DLL, and the dialog a host opens when the
// command finds nothing to copy, with the flags it shows and what it saves on each way out.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// ---------------------------------------------------------------------------------------------------
// The template in the built library.

std::string Hex(DWORD value, int digits = 8)
{
    char text[16];
    wsprintfA(text, digits == 8 ? "0x%08lX" : "0x%04lX", value);
    return text;
}

// A classic dialog template read field by field into text; a read past the resource's end marks it failed.
struct TemplateReader {
    const BYTE *data;
    DWORD size, offset = 0;
    bool ok = true;

    DWORD Take(DWORD count)
    {
        DWORD value = 0;
        for (DWORD i = 0; i < count && (ok = ok && offset < size); ++i)
            value |= static_cast<DWORD>(data[offset++]) << (8 * i);
        return value;
    }
    // x, y, cx and cy, in dialog units.
    std::string Rect()
    {
        std::string rect;
        for (int i = 0; i < 4; ++i)
            rect += (i == 0 ? "" : ",") + std::to_string(static_cast<short>(Take(2)));
        return rect;
    }
    // A name-or-ordinal field: "#0x0080" for an ordinal, else the UTF-8 text ("" when absent).
    std::string NameOrOrdinal()
    {
        if (offset + 2 > size || data[offset] != 0xFF || data[offset + 1] != 0xFF)
            return Text();
        Take(2);
        return "#" + Hex(Take(2), 4);
    }
    std::string Text()
    {
        std::wstring wide;
        for (WORD c = WORD(Take(2)); ok && c != 0; c = WORD(Take(2)))
            wide += static_cast<wchar_t>(c);
        return Utf8FromWide(wide);
    }
    void AlignToDword() { offset = (offset + 3) & ~3u; }
};

// One line for the dialog and one per control, as the expected ones below are written.
std::string Dialog(DWORD style, DWORD exStyle, const std::string &rect, const std::string &menu,
                   const std::string &windowClass, const std::string &title, DWORD pointSize, const std::string &face)
{
    return "style=" + Hex(style) + " ex=" + Hex(exStyle) + " rect=" + rect + " menu=\"" + menu + "\" class=\"" +
           windowClass + "\" title=\"" + title + "\" font=" + std::to_string(pointSize) + " \"" + face + "\"";
}

std::string Control(int id, const std::string &windowClass, DWORD style, DWORD exStyle, const std::string &rect,
                    const std::string &text)
{
    return "id=" + std::to_string(id) + " class=" + windowClass + " style=" + Hex(style) + " ex=" + Hex(exStyle) +
           " rect=" + rect + " text=\"" + text + "\"";
}

std::vector<std::string> DescribeTemplate(const BYTE *data, DWORD size)
{
    TemplateReader reader = {data, size};
    DWORD style = reader.Take(4), exStyle = reader.Take(4);
    if (LOWORD(style) == 1 && HIWORD(style) == 0xFFFF)
        return {"an extended template (DLGTEMPLATEEX), not a classic one"};
    WORD count = WORD(reader.Take(2));
    std::string rect = reader.Rect(), menu = reader.NameOrOrdinal(), windowClass = reader.NameOrOrdinal();
    std::string title = reader.Text();
    DWORD pointSize = style & DS_SETFONT ? reader.Take(2) : 0;
    std::vector<std::string> lines = {
        Dialog(style, exStyle, rect, menu, windowClass, title, pointSize, style & DS_SETFONT ? reader.Text() : "")};
    for (WORD i = 0; i < count && reader.ok; ++i) {
        reader.AlignToDword();
        DWORD controlStyle = reader.Take(4), controlExStyle = reader.Take(4);
        std::string controlRect = reader.Rect();
        int id = static_cast<short>(reader.Take(2));  // 0xFFFF is the id -1
        std::string controlClass = reader.NameOrOrdinal(), text = reader.NameOrOrdinal();
        reader.Take(reader.Take(2));  // creation data
        lines.push_back(Control(id, controlClass, controlStyle, controlExStyle, controlRect, text));
    }
    if (!reader.ok)
        lines.push_back("the template ends before its " + std::to_string(count) + " controls");
    return lines;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD> *>(param)->push_back(language);
    return TRUE;
}

// The button class's ordinal in a template.
constexpr char kButton[] = "#0x0080";

// Read from the product, the i686 DLL, as data: its code is not run, so this holds on the x86_64 twin too.
TEST(SettingsResource, DialogTemplateIsTheDocumentedLayout)
{
    const std::string library = ProgramFolder() + "i686\\VORPAN.DLL";
    HMODULE module = LoadLibraryExA(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << library << ", error " << GetLastError();

    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, RT_DIALOG, MAKEINTRESOURCEA(expected::kSettingsDialogId), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}) << "languages of dialog 101";

    HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(expected::kSettingsDialogId),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr);
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    ASSERT_NE(data, nullptr);
    const std::vector<std::string> lines = DescribeTemplate(data, SizeofResource(module, found));
    FreeLibrary(module);

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const std::vector<std::string> expectedLines = {
        Dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, "0,0,186,79", "", "",
               u8"２画面ファイラー風ファイルコピーの設定", 9, u8"ＭＳ Ｐゴシック"),
        Control(IDOK, kButton, child | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, "42,60,50,14", "OK"),
        Control(IDCANCEL, kButton, child | BS_PUSHBUTTON | WS_TABSTOP, 0, "94,60,50,14", u8"ｷｬﾝｾﾙ"),
        Control(expected::kNotifyBox, kButton, child | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0, "5,5,175,8",
                u8"２画面ファイラー風にならない場合はメッセージを出す"),
        Control(-1, kButton, child | BS_GROUPBOX, 0, "5,20,175,35", u8"RiloFile2を３つ以上起動している場合"),
        Control(expected::kPreviousRadio, kButton, child | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0,
                "10,30,165,8", u8"前回アクティブだった RiloFile2 のパスにする"),
        Control(expected::kChooseRadio, kButton, child | BS_AUTORADIOBUTTON, 0, "10,40,165,8", u8"選択する"),
    };
    EXPECT_EQ(lines, expectedLines);
}

// ---------------------------------------------------------------------------------------------------
// The dialog on stand-in hosts.

// A message without arguments to a control of dialog, -1 when none answers; BM_CLICK clicks as the mouse would.
LRESULT SendToControl(HWND dialog, int id, UINT message)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(GetDlgItem(dialog, id), message, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// The three buttons as the user sees them, checked or not.
std::string Checks(HWND dialog)
{
    std::string shown;
    for (int id : {expected::kNotifyBox, expected::kPreviousRadio, expected::kChooseRadio})
        shown += std::to_string(id) + (SendToControl(dialog, id, BM_GETCHECK) == BST_CHECKED ? " checked " : " clear ");
    return shown;
}

// The settings dialog the command opens in instance from, where there is nothing to copy, then the steps
// after it. What the user does in it (clicks, then a way out) is act's; button closes it, 0 when act does.
// No copy runs, and no other instance is asked for its path.
::testing::AssertionResult Settings(Desktop &desktop, int button, const std::function<void(HWND)> &act,
                                    std::vector<Step> after = {}, const std::string &from = "host")
{
    after.insert(after.begin(), step::Settings(button).Then([&](HWND dialog) {
        act(dialog);
        return Outcome::Ok();
    }));
    RunCounts counts;
    ::testing::AssertionResult ran = Runs(desktop, {from, after}, &counts);
    if (ran && counts.copies != 0)
        return ::testing::AssertionFailure() << "a copy ran";
    for (const auto &[name, asked] : counts.requests)
        if (ran && asked != 0)
            return ::testing::AssertionFailure() << name << " was asked for its path";
    return ran;
}

const std::vector<std::string> kOneFile = {"作業\\報告書.txt"};

// The chooser is on and several instances run: still no menu and no request, only the dialog, over its
// host, at 0,0 of the host's client area, not centred.
TEST(SettingsDialog, OpensOverTheHostWhenThereIsNothingToCopy)
{
    Desktop desktop({"作業\\報告書.txt", "資料\\"},
                    {On("real folder, no file selected", "作業", {"/pos=100,80,640,420"}),
                     On("virtual folder", "", {"/pos=120,90,640,420"}), On("other", "資料")},
                    expected::kNotifyFallback | expected::kChooseTarget);
    ASSERT_TRUE(Ready(desktop));
    for (const char *requester : {"real folder, no file selected", "virtual folder"}) {
        SCOPED_TRACE(requester);
        const HostInstance &host = desktop.Host(requester);
        HWND owner = nullptr;
        POINT dialogOrigin = {-1, -1}, hostOrigin = {0, 0};
        const auto readPlace = [&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            dialogOrigin = {0, 0};
            ClientToScreen(dialog, &dialogOrigin);
            ClientToScreen(host.hwnd, &hostOrigin);
        };
        EXPECT_TRUE(Settings(desktop, IDCANCEL, readPlace, {}, requester));
        EXPECT_EQ(owner, host.hwnd) << "owner";
        EXPECT_EQ(std::make_pair(dialogOrigin.x, dialogOrigin.y), std::make_pair(hostOrigin.x, hostOrigin.y));
    }
}

TEST(SettingsDialog, ShowsTheStoredFlags)
{
    Desktop desktop(kOneFile, {On("host", "作業")});
    ASSERT_TRUE(Ready(desktop));
    const std::pair<int, std::string> cases[] = {
        {0, "1000 clear 1001 checked 1002 clear "},
        {1, "1000 checked 1001 checked 1002 clear "},
        {2, "1000 clear 1001 clear 1002 checked "},
        {3, "1000 checked 1001 clear 1002 checked "},
        {4, "1000 clear 1001 checked 1002 clear "},     // a bit the dialog does not show
        {-1, "1000 checked 1001 clear 1002 checked "},  // every bit set
    };
    for (const auto &[state, checks] : cases) {
        SCOPED_TRACE("State " + std::to_string(state));
        desktop.SetState(state);
        std::string shown;
        EXPECT_TRUE(Settings(desktop, IDCANCEL, [&](HWND dialog) { shown = Checks(dialog); }));
        EXPECT_EQ(shown, checks);
    }
}

TEST(SettingsDialog, OkSavesTheButtonsAndKeepsTheOtherBits)
{
    Desktop desktop(kOneFile, {On("host", "作業")});
    ASSERT_TRUE(Ready(desktop));
    struct Case {
        const char *stored;
        std::vector<int> clicks;
        const char *saved;
    };
    const Case cases[] = {
        {"7", {}, "7"},
        {"013", {}, "13"},                     // rewritten even when nothing changed
        {"13", {expected::kNotifyBox}, "12"},  // bits 2 and 3 carried
        {"0", {expected::kNotifyBox, expected::kChooseRadio}, "3"},
        {"3", {expected::kNotifyBox, expected::kPreviousRadio}, "0"},
        {"-1", {}, "-1"},
        {"-1", {expected::kNotifyBox, expected::kPreviousRadio}, "-4"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("State ") + c.stored + ", " + std::to_string(c.clicks.size()) + " clicks");
        WriteState(desktop.plugins.path, c.stored);
        EXPECT_TRUE(Settings(desktop, IDOK, [&](HWND dialog) {
            for (int id : c.clicks)
                SendToControl(dialog, id, BM_CLICK);
        }));
        EXPECT_EQ(ReadState(desktop.plugins), c.saved);
    }
}

TEST(SettingsDialog, OkOnASettingsFileThatCannotBeWrittenSaysSoAndCloses)
{
    Desktop desktop(kOneFile, {On("host", "作業")}, 0);
    ASSERT_TRUE(Ready(desktop));
    const std::string ini = desktop.plugins.IniPath();
    // Held open without sharing, as another program may hold it: neither read nor written by the
    // plug-in. A read-only attribute would not do here: Wine lets root write such a file.
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << ini << ", error " << GetLastError();

    HWND dialog = nullptr, owner = nullptr;
    const Step saidSo = step::ErrorBox(std::string(expected::kSaveFailedText) + "\n" + ini).Then([&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        return Outcome::Ok();
    });
    // A change: a profile write of the value the file already holds need not touch the file.
    const auto change = [&](HWND window) { SendToControl(dialog = window, expected::kNotifyBox, BM_CLICK); };
    EXPECT_TRUE(Settings(desktop, IDOK, change, {saidSo}));
    CloseHandle(held);
    EXPECT_EQ(owner, dialog) << "owner";
    EXPECT_EQ(ReadState(desktop.plugins), "0");
}

TEST(SettingsDialog, CancelEscapeAndTheCloseButtonSaveNothing)
{
    Desktop desktop(kOneFile, {On("host", "作業")});
    ASSERT_TRUE(Ready(desktop));
    struct Way {
        const char *name;
        int button;         // IDCANCEL, or 0: closed otherwise
        UINT closeMessage;  // posted to close it when no button does; 0: Escape typed
    };
    const Way ways[] = {
        {"Cancel button", IDCANCEL, 0},
        {"Escape key", 0, 0},
        {"close button", 0, WM_SYSCOMMAND},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        // "013" reads as 13; any save, even of unchanged flags, would write "13".
        WriteState(desktop.plugins.path, "013");
        std::string clicked;
        bool inFront = true;
        EXPECT_TRUE(Settings(desktop, way.button, [&](HWND dialog) {
            SendToControl(dialog, expected::kNotifyBox, BM_CLICK);
            SendToControl(dialog, expected::kChooseRadio, BM_CLICK);
            clicked = Checks(dialog);
            if (way.closeMessage != 0)
                PostMessageA(dialog, way.closeMessage, SC_CLOSE, 0);
            // Typed, as a user would: the dialog's own loop turns it into IDCANCEL.
            else if (way.button == 0 && (inFront = PumpUntil([&] { return GetForegroundWindow() == dialog; })))
                TypeKeys({VK_ESCAPE});
        }));
        EXPECT_TRUE(inFront) << "dialog not in front";
        EXPECT_EQ(clicked, "1000 clear 1001 clear 1002 checked ") << "the clicks took";
        EXPECT_EQ(ReadState(desktop.plugins), "013");
    }
}

}  // namespace
