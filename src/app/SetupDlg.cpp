// The main setup window: start-up checks, the About item, the minimised icon and the dispatch of its buttons.
#include "app/SetupDlg.h"

#include "afx/App.h"
#include "afx/PaintDC.h"
#include "app/AboutDlg.h"
#include "probe/OutsideComponents.h"

namespace {
constexpr char kWindowsNtKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kProductNameValue[] = "ProductName";
constexpr char kVersionFailedMessage[] = "get windows version failed";
}  // namespace

const MessageMapEntry CSetupDlg::kMessageMap[] = {
    {WM_SYSCOMMAND, 0, Handle<&CSetupDlg::OnSysCommand>},
    {WM_PAINT, 0, Handle<&CSetupDlg::OnPaint>},
    {WM_QUERYDRAGICON, 0, Handle<&CSetupDlg::OnQueryDragIcon>},
    {WM_COMMAND, IDC_BEGIN, Handle<&CSetupDlg::OnBegin>},
    {WM_COMMAND, IDC_READ_PORT, Handle<&CSetupDlg::OnReadVirtualComPort>},
    {WM_TIMER, 0, Handle<&CSetupDlg::OnTimer>},
    {WM_COMMAND, IDC_BUTTON3, Handle<&CSetupDlg::OnButton3>},
};

CSetupDlg::CSetupDlg(CWnd* pParent, PromptHost& prompts)
    : CDialog(IDD_SETUP_DIALOG, pParent),
      m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr),
      m_prompts(prompts) {}

MessageMap CSetupDlg::GetMessageMap() const { return {kMessageMap, sizeof kMessageMap / sizeof kMessageMap[0]}; }

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BEGIN, m_btnBegin);
    DDX_Control(pDX, IDC_READ_PORT, m_btnReadPort);
}

BOOL CSetupDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HMENU sysMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (sysMenu) {
        // Wide, like the string table itself, so the Chinese item reads right in any code page.
        wchar_t about[256] = L"";
        ::LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, 256);
        if (about[0] != L'\0') {
            ::AppendMenuW(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    std::string text;
    if (!ReadRegistryString(kWindowsNtKey, kProductNameValue, text) &&
        !ReadRegistryString(kWindowsKey, kProductNameValue, text)) {
        AfxMessageBox(kVersionFailedMessage, MB_OK);
    }
    if (NamesVistaFamily(text)) OsFamilyFlag() = "Vista";

    m_btnReadPort.EnableWindow(FALSE);
    const char* deviceKey = CurrentFamily() == Family::Vista ? kVistaDeviceKey : kNtDeviceKey;
    if (ReadRegistryString(deviceKey, kPortNameValue, text)) m_btnReadPort.EnableWindow(TRUE);

    return TRUE;
}

// Every id from 0x0010 to 0x001F is the About item once the low four bits are masked off.
void CSetupDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

POINT CSetupDlg::IconPosition(const RECT& client, int iconWidth, int iconHeight) {
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    return {(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

void CSetupDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    POINT at = IconPosition(client, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(dc.GetSafeHdc(), at.x, at.y, m_hIcon);
}

HCURSOR CSetupDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CSetupDlg::OnBegin() {
    if (CurrentFamily() == Family::Vista) {
        RunSetupVista();
    } else {
        RunSetupNt();
    }
}

void CSetupDlg::OnReadVirtualComPort() {
    if (CurrentFamily() == Family::Vista) {
        ShowPortVista();
    } else {
        ShowPortNt();
    }
}

// The hidden control always runs the NT-family update, whatever the family.
void CSetupDlg::OnButton3() { UpdateDolphinNt(); }
