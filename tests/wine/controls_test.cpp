#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/ProcessListDlg.h"
#include "controls/AboutDlg.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/GdiTable.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
    }
};

// The process's GDI object count. Wine does not implement GetGuiResources;
// there the shared handle table the process environment block points to is
// counted instead (entries with a type are in use).
int GdiObjectCount() {
    SetLastError(0);
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return static_cast<int>(reported);
    const uint8_t* environment = ProcessEnvironmentBlockOf(GetCurrentProcess());
    if (!environment) return -1;
    const size_t tableOffset = GdiTableOffset(sizeof(void*) == 8);
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(environment + tableOffset);
    if (!table) return -1;
    int count = 0;
    for (int index = 0; index < kGdiTableEntries; ++index) {
        if (table[index].type != 0) ++count;
    }
    return count;
}

// The client area of a window as the screen shows it.
class WindowPixels {
public:
    explicit WindowPixels(HWND window) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT client{};
        GetClientRect(window, &client);
        m_width = client.right;
        m_height = client.bottom;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC windowDc = GetDC(window);
        HDC memoryDc = CreateCompatibleDC(windowDc);
        HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, m_width, m_height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        m_pixels.assign(pixels, pixels + static_cast<size_t>(m_width) * static_cast<size_t>(m_height));
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
        DeleteDC(memoryDc);
        ReleaseDC(window, windowDc);
    }

    // As a COLORREF (red in the low byte).
    COLORREF At(int x, int y) const {
        const uint32_t pixel =
            m_pixels.at(static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x));
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    int CountInside(const RECT& area, COLORREF colour) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) count += At(x, y) == colour ? 1 : 0;
        }
        return count;
    }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
};

COLORREF Face() { return GetSysColor(COLOR_BTNFACE); }
COLORREF Light() { return GetSysColor(COLOR_BTNHIGHLIGHT); }
COLORREF Dark() { return GetSysColor(COLOR_BTNSHADOW); }

RECT HeadingRect(HWND header, int column) {
    RECT item{};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item;
}

int HeadingFormat(HWND header, int column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item.fmt;
}

// Pixels of the text rectangle that differ from the background: the text.
int TextPixels(const WindowPixels& pixels, const RECT& item, bool sortColumn) {
    const int h = (item.bottom - item.top) / 4;
    RECT text{item.left + h, item.top, item.right - h - (sortColumn ? 3 * h : 0), item.bottom};
    int count = 0;
    for (int y = text.top; y < text.bottom; ++y) {
        for (int x = text.left; x < text.right; ++x) count += pixels.At(x, y) != Face() ? 1 : 0;
    }
    return count;
}

void ExpectAscendingArrow(const WindowPixels& pixels, const RECT& item) {
    const int h = (item.bottom - item.top) / 4;
    const int r = item.right;
    const int b = item.bottom;
    EXPECT_EQ(Light(), pixels.At(r - 2 * h, h)) << "apex";
    EXPECT_EQ(Light(), pixels.At(r - h - 1, b - h - 1)) << "right end of the base";
    EXPECT_EQ(Light(), pixels.At(r - 2 * h, b - h - 1)) << "middle of the base";
    EXPECT_EQ(Dark(), pixels.At(r - 3 * h - 1, b - h - 1)) << "left end of the base";
    EXPECT_EQ(Face(), pixels.At(r - 2 * h, b - h - 3)) << "inside";
    EXPECT_EQ(Face(), pixels.At(r - 2 * h, h - 2)) << "above the apex";
}

void ExpectDescendingArrow(const WindowPixels& pixels, const RECT& item) {
    const int h = (item.bottom - item.top) / 4;
    const int r = item.right;
    const int b = item.bottom;
    EXPECT_EQ(Light(), pixels.At(r - h - 1, h)) << "right end of the top edge";
    EXPECT_EQ(Dark(), pixels.At(r - 2 * h, h)) << "middle of the top edge";
    EXPECT_EQ(Dark(), pixels.At(r - 3 * h - 1, h)) << "left end of the top edge";
    EXPECT_EQ(Dark(), pixels.At(r - 2 * h - 2, b - h)) << "apex";
    EXPECT_EQ(Face(), pixels.At(r - 2 * h - 1, h + 2)) << "inside";
}

void ExpectNoArrow(const WindowPixels& pixels, const RECT& item) {
    const int h = (item.bottom - item.top) / 4;
    RECT arrow{item.right - 3 * h - 2, h - 1, item.right - h + 1, item.bottom - h + 1};
    EXPECT_EQ(0, pixels.CountInside(arrow, Light()));
    EXPECT_EQ(0, pixels.CountInside(arrow, Dark()));
}

class MainWindowTest : public ControlsTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_main.Create());
        m_main.ShowWindow(SW_SHOW);
        SetForegroundWindow(m_main.GetSafeHwnd());
        PumpMessages(200);
        m_header = m_main.m_list.GetHeaderCtrl();
        ASSERT_NE(nullptr, m_header);
    }
    void TearDown() override {
        if (m_main.GetSafeHwnd()) DestroyWindow(m_main.GetSafeHwnd());
    }
    CProcessListDlg m_main;
    HWND m_header = nullptr;
};

}  // namespace

TEST_F(MainWindowTest, SortedHeadingShowsTheArrowInBothDirections) {
    for (int column = 0; column < 2; ++column) EXPECT_EQ(0, HeadingFormat(m_header, column) & HDF_OWNERDRAW);

    m_main.m_list.SortByColumn(0, true);
    EXPECT_NE(0, HeadingFormat(m_header, 0) & HDF_OWNERDRAW);
    const RECT first = HeadingRect(m_header, 0);
    {
        const WindowPixels pixels(m_header);
        ExpectAscendingArrow(pixels, first);
        EXPECT_GT(TextPixels(pixels, first, true), 0);
    }

    m_main.m_list.SortByColumn(0, false);
    {
        const WindowPixels pixels(m_header);
        ExpectDescendingArrow(pixels, first);
        EXPECT_GT(TextPixels(pixels, first, true), 0);
    }

    // The earlier sort heading stays owner-drawn: text, no arrow.
    m_main.m_list.SortByColumn(1, true);
    EXPECT_NE(0, HeadingFormat(m_header, 0) & HDF_OWNERDRAW);
    EXPECT_NE(0, HeadingFormat(m_header, 1) & HDF_OWNERDRAW);
    const RECT second = HeadingRect(m_header, 1);
    {
        const WindowPixels pixels(m_header);
        ExpectNoArrow(pixels, first);
        EXPECT_GT(TextPixels(pixels, first, false), 0);
        ExpectAscendingArrow(pixels, second);
    }
}

TEST_F(MainWindowTest, ColumnWidthsRoundTripOnlyForTheSameColumnCount) {
    CArrowHeaderCtrl& header = m_main.m_list.m_header;
    ByteArchive stored;
    header.Serialize(stored);
    const int count = header.GetItemCount();
    ASSERT_EQ(5, count);
    ASSERT_EQ(4u * (1 + 5), stored.bytes().size());
    auto width = [&](int column) {
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        header.GetItem(column, &item);
        return item.cxy;
    };
    const int original = width(1);
    m_main.m_list.SetColumnWidth(1, original + 40);
    ByteArchive loading(stored.bytes());
    header.Serialize(loading);
    EXPECT_EQ(original, width(1));

    ByteArchive otherCount;
    otherCount.WriteInt32(2);
    otherCount.WriteInt32(11);
    otherCount.WriteInt32(12);
    ByteArchive loadingOther(otherCount.bytes());
    header.Serialize(loadingOther);
    EXPECT_EQ(original, width(1));
    EXPECT_NE(11, width(0));
}

TEST_F(MainWindowTest, ThousandHeaderRepaintsLeakNoGdiObject) {
    m_main.m_list.SortByColumn(0, true);
    m_main.m_list.SortByColumn(1, false);
    RedrawWindow(m_header, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int before = GdiObjectCount();
    ASSERT_GT(before, 0);
    for (int repaint = 0; repaint < 1000; ++repaint) {
        RedrawWindow(m_header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    EXPECT_EQ(before, GdiObjectCount());
}

namespace {

class AboutTest : public ControlsTest {
protected:
    void SetUp() override {
        m_previousOpen = SetLinkShellOpen([this](const std::string& target) { m_opened.push_back(target); });
    }
    void TearDown() override { SetLinkShellOpen(m_previousOpen); }

    std::vector<std::string> m_opened;
    LinkShellOpen m_previousOpen;
};

POINT CentreOf(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
}

void MovePointer(HWND link, POINT screen) {
    SetCursorPos(screen.x, screen.y);
    POINT client = screen;
    ScreenToClient(link, &client);
    SendMessageW(link, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

// The link's own pixels in one colour.
int LinkPixels(HWND link, COLORREF colour) {
    const WindowPixels pixels(link);
    return pixels.CountInside(RECT{0, 0, pixels.width(), pixels.height()}, colour);
}

// Runs the about box modally and records whether it was hidden by a
// WM_SHOWWINDOW (the closing animation) before it ended.
class RecordingAboutDlg : public CAboutDlg {
public:
    bool m_bHiddenByAnimation = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SHOWWINDOW && wParam == FALSE) m_bHiddenByAnimation = true;
        return CAboutDlg::WindowProc(message, wParam, lParam);
    }
};

UINT_PTR g_closeMessage = WM_COMMAND;
WPARAM g_closeParameter = IDOK;
int g_aboutBoxesSeen = 0;

void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND about = FindWindowW(L"#32770", WideFromText("关于 tarvemonix").c_str());
    if (!about || !IsWindowVisible(about)) return;
    ++g_aboutBoxesSeen;
    PostMessageW(about, static_cast<UINT>(g_closeMessage), g_closeParameter, 0);
}

bool EndsWithAnimation(UINT message, WPARAM parameter) {
    g_closeMessage = message;
    g_closeParameter = parameter;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, &CloseAboutBox);
    RecordingAboutDlg about;
    about.DoModal();
    KillTimer(nullptr, timer);
    return about.m_bHiddenByAnimation;
}

}  // namespace

TEST_F(AboutTest, LinksHandTheirTargetsToTheShell) {
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    EXPECT_EQ("关于 tarvemonix", about.GetWindowText());
    EXPECT_EQ("http://www.example.com", about.GetDlgItemText(IDC_LINKHOME));
    EXPECT_EQ("tarvemonix@example.com", about.GetDlgItemText(IDC_LINKMAIL));
    EXPECT_EQ("http://www.example.com", about.m_linkHome.GetLinkTarget());
    EXPECT_EQ("mailto:tarvemonix@example.com", about.m_linkMail.GetLinkTarget());

    SendMessageW(about.GetDlgItem(IDC_LINKMAIL), WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    SendMessageW(about.GetDlgItem(IDC_LINKHOME), WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    EXPECT_EQ((std::vector<std::string>{"mailto:tarvemonix@example.com", "http://www.example.com"}), m_opened);
    EXPECT_TRUE(about.m_linkHome.IsVisited());
    DestroyWindow(about.GetSafeHwnd());

    // A fresh opening starts with unvisited links.
    CAboutDlg again;
    ASSERT_TRUE(again.Create());
    EXPECT_FALSE(again.m_linkHome.IsVisited());
    EXPECT_EQ(RGB(0, 0, 255), again.m_linkHome.GetTextColour());
    DestroyWindow(again.GetSafeHwnd());
}

TEST_F(AboutTest, LinksAreUnderlinedNotifyingAndShowTheHand) {
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    for (int id : {IDC_LINKHOME, IDC_LINKMAIL}) {
        HWND link = about.GetDlgItem(id);
        EXPECT_NE(0, GetWindowLongW(link, GWL_STYLE) & SS_NOTIFY);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_TRUE(font.lfUnderline);
        EXPECT_EQ(TRUE,
                  SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINKHAND)), GetCursor());
    }
    // The plain label is no link.
    EXPECT_EQ(nullptr, CWnd::FromHandle(about.GetDlgItem(IDC_MAILLABEL)));
    DestroyWindow(about.GetSafeHwnd());
}

TEST_F(AboutTest, LinkIsBlueGreenWhileHoveredAndBlueOnceVisited) {
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    about.ShowWindow(SW_SHOW);
    PumpMessages(100);
    HWND link = about.GetDlgItem(IDC_LINKHOME);
    const COLORREF blue = RGB(0, 0, 255);
    const COLORREF green = RGB(0, 255, 0);
    EXPECT_GT(LinkPixels(link, blue), 0);
    EXPECT_EQ(0, LinkPixels(link, green));

    RECT bounds{};
    GetWindowRect(link, &bounds);
    const POINT inside = CentreOf(link);
    const POINT outside{bounds.right + 20, bounds.bottom + 20};

    MovePointer(link, inside);
    EXPECT_EQ(green, about.m_linkHome.GetTextColour());
    EXPECT_GT(LinkPixels(link, green), 0);
    EXPECT_EQ(0, LinkPixels(link, blue));
    // The capture is released on entry and taken on the next move inside.
    EXPECT_NE(link, GetCapture());
    MovePointer(link, inside);
    EXPECT_EQ(link, GetCapture());
    MovePointer(link, outside);
    EXPECT_EQ(blue, about.m_linkHome.GetTextColour());
    EXPECT_NE(link, GetCapture());
    EXPECT_GT(LinkPixels(link, blue), 0);

    SendMessageW(link, WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    MovePointer(link, inside);
    EXPECT_EQ(blue, about.m_linkHome.GetTextColour());
    EXPECT_EQ(0, LinkPixels(link, green));
    MovePointer(link, inside);
    MovePointer(link, outside);
    EXPECT_EQ(blue, about.m_linkHome.GetTextColour());
    DestroyWindow(about.GetSafeHwnd());
}

TEST_F(AboutTest, WrongLinkTextIsReportedAndOpensNothing) {
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    std::vector<std::string> reports;
    about.m_linkHome.SetErrorReport([&](const std::string& text) { reports.push_back(text); });
    EXPECT_FALSE(about.m_linkHome.SetLinkTarget("ftp://ftp.example.com"));
    EXPECT_EQ((std::vector<std::string>{"Error: wrong superlink format"}), reports);
    SendMessageW(about.GetDlgItem(IDC_LINKHOME), WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(about.m_linkHome.IsVisited());
    EXPECT_TRUE(m_opened.empty());
    DestroyWindow(about.GetSafeHwnd());
}

TEST_F(AboutTest, OkAndCloseBoxCollapseTheBoxEscapeDoesNot) {
    EXPECT_TRUE(EndsWithAnimation(WM_COMMAND, IDOK));
    EXPECT_TRUE(EndsWithAnimation(WM_CLOSE, 0));
    EXPECT_FALSE(EndsWithAnimation(WM_COMMAND, IDCANCEL));
}

TEST_F(AboutTest, OpensFromTheSystemMenuTrayAndMainMenu) {
    CProcessListDlg mainWindow;
    ASSERT_TRUE(mainWindow.Create());
    g_closeMessage = WM_COMMAND;
    g_closeParameter = IDOK;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, &CloseAboutBox);
    g_aboutBoxesSeen = 0;
    mainWindow.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(1, g_aboutBoxesSeen);
    mainWindow.SendMessage(WM_COMMAND, ID_TRAY_ABOUT, 0);
    EXPECT_EQ(2, g_aboutBoxesSeen);
    mainWindow.SendMessage(WM_COMMAND, ID_MENU_ABOUT, 0);
    EXPECT_EQ(3, g_aboutBoxesSeen);
    KillTimer(nullptr, timer);
    DestroyWindow(mainWindow.GetSafeHwnd());
}

TEST_F(AboutTest, HundredOpeningsLeakNoGdiObject) {
    // Painted into a memory bitmap: showing and hiding a top-level window costs
    // about a second under Wine without a window manager.
    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 100);
    HGDIOBJ previous = SelectObject(canvas, bitmap);
    auto openOnce = [canvas] {
        CAboutDlg about;
        if (!about.Create()) return false;
        for (int id : {IDC_LINKHOME, IDC_LINKMAIL}) {
            HWND link = about.GetDlgItem(id);
            SendMessageW(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas), PRF_CLIENT);
            MovePointer(link, CentreOf(link));
            SendMessageW(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas), PRF_CLIENT);
            MovePointer(link, CentreOf(link));
            MovePointer(link, POINT{0, 0});
            SendMessageW(link, WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
            SendMessageW(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas), PRF_CLIENT);
        }
        DestroyWindow(about.GetSafeHwnd());
        return true;
    };
    ASSERT_TRUE(openOnce());
    const int before = GdiObjectCount();
    ASSERT_GT(before, 0);
    for (int opening = 0; opening < 100; ++opening) ASSERT_TRUE(openOnce());
    EXPECT_EQ(before, GdiObjectCount());
    EXPECT_EQ(202u, m_opened.size());
    SelectObject(canvas, previous);
    DeleteObject(bitmap);
    DeleteDC(canvas);
    ReleaseDC(nullptr, screen);
}
