#include "app/main_dialog.h"

#include "app/app_ids.h"
#include "app/hyperlink.h"
#include "app/instance_query.h"
#include "app/program_version.h"
#include "build_settings.h"
#include "controller/core_assist.h"
#include "framework/app.h"
#include "support/guarded.h"
#include "support/language.h"
#include "support/language_text.h"
#include "support/lumivex_names.h"
#include "update/auto_update.h"
#include "update/update_rules.h"

namespace lumivex::app {

namespace {

// TPM_RIGHTBUTTON | TPM_RIGHTALIGN: the menu opens to the left of the pointer, as tray menus do.
constexpr UINT kTrayMenuFlags = TPM_RIGHTBUTTON | TPM_RIGHTALIGN;

// Staging servers and tests point the check elsewhere, and make it come sooner.
constexpr wchar_t kUpdateUrlVariable[] = L"LUMIVEX_UPDATE_URL";
constexpr wchar_t kUpdateDelayVariable[] = L"LUMIVEX_UPDATE_DELAY";

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t value[2048] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return length > 0 && length < ARRAYSIZE(value) ? std::wstring(value, length) : std::wstring();
}

UniqueIcon LoadProgramIcon(int sizeMetricX, int sizeMetricY) {
    return UniqueIcon(static_cast<HICON>(
        ::LoadImageW(fw::ModuleInstance(), MAKEINTRESOURCEW(IDI_LUMIVEX), IMAGE_ICON,
                     ::GetSystemMetrics(sizeMetricX), ::GetSystemMetrics(sizeMetricY), 0)));
}

} // namespace

CLumivexMain::CLumivexMain()
    : CDialog(IDD_LUMIVEX_DIALOG), m_bShowTrayIcon(GetCoreAssist().m_option.m_bShowTrayIcon),
      m_pagePrograms(GetCoreAssist().m_strBrowsersIni, m_strConfigIni),
      m_hBigIcon(LoadProgramIcon(SM_CXICON, SM_CYICON)),
      m_hSmallIcon(LoadProgramIcon(SM_CXSMICON, SM_CYSMICON)) {
    MapHandlers();
}

CLumivexMain::~CLumivexMain() {
    // Destroyed here, while the whole object still lives: the window's last messages (the tray
    // icon leaving with WM_DESTROY) reach handlers of this class, not of a half-destroyed one.
    if (HWND self = GetSafeHwnd()) {
        ::DestroyWindow(self);
    }
}

void CLumivexMain::MapHandlers() {
    if (const UINT query = InstanceQueryMessage()) {
        MapMessage(query, [query](WPARAM, LPARAM) -> LRESULT { return query; });
    }
    // Explorer announces a new taskbar (at logon after us, or after a restart): icons must be
    // added again.
    m_nTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    if (m_nTaskbarCreated) {
        MapMessage(m_nTaskbarCreated, [this](WPARAM, LPARAM) -> LRESULT {
            m_trayIcon.Forget();
            UpdateTrayIcon();
            return 0;
        });
    }
    MapMessage(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
        OnClose();
        return 0;
    });
    MapMessage(WM_DESTROY, [this](WPARAM, LPARAM) -> LRESULT {
        const LRESULT result = Default();
        m_trayIcon.Delete();
        return result;
    });
    MapMessage(WM_SYSCOMMAND, [this](WPARAM wParam, LPARAM) -> LRESULT {
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            return ToggleVisibility();
        }
        return Default();
    });
    MapMessage(WM_HELP, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    MapMessage(WM_TIMER, [this](WPARAM wParam, LPARAM) -> LRESULT {
        if (wParam == kUpdateTimerId) {
            StartUpdateCheck();
        }
        return Default();
    });
    MapMessage(WM_TRAY_CALLBACK,
               [this](WPARAM wParam, LPARAM lParam) { return OnTaskBarN(wParam, lParam); });
    MapMessage(WM_UPDATE_AVAILABLE, [this](WPARAM, LPARAM) -> LRESULT {
        OnUpdateAvailable();
        return 0;
    });
    // An announcement without a new version: nothing shows it.
    MapMessage(WM_UPDATE_INFO, [](WPARAM, LPARAM) -> LRESULT { return 0; });
    MapCommand(ID_APP_ABOUT, [this] { ShowAboutPage(); });
    MapCommand(ID_OPEN_LUMIVEX, [this] {
        ::ShowWindow(GetSafeHwnd(), SW_RESTORE);
        ::SetForegroundWindow(GetSafeHwnd());
    });
    MapCommand(IDC_EXIT, [this] { OnExitCommand(); });
    MapCommand(IDC_SHOW_TRAY_ICON, [this] { OnShowTrayIconClicked(); });
}

void CLumivexMain::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Control(pDX, IDC_PAGE_TAB, m_tabSheet);
    fw::DDX_Check(pDX, IDC_SHOW_TRAY_ICON, m_bShowTrayIcon);
}

BOOL CLumivexMain::OnInitDialog() {
    CDialog::OnInitDialog();
    HWND self = GetSafeHwnd();
    TranslateDialog(self, IDD_LUMIVEX_DIALOG);
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hBigIcon.get()));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon.get()));
    UpdateTrayIcon();

    m_pageOptions.m_onCheckUpdateChanged = [this](bool on) { ArmUpdateCheck(on); };
    m_zoomLabel.Create(fw::ModuleInstance());
    m_zoomLabel.SetEnabled(m_strConfigIni.empty() || ReadZoomLabelSetting(m_strConfigIni));
    m_pageOptions.m_bZoomLabel = m_zoomLabel.Enabled() ? 1 : 0;
    m_pageOptions.m_onZoomLabelChanged = [this](bool on) {
        m_zoomLabel.SetEnabled(on);
        if (!m_strConfigIni.empty()) {
            WriteZoomLabelSetting(m_strConfigIni, on);
        }
    };
    if (m_pageOptions.Create(m_tabSheet.GetSafeHwnd())) {
        m_tabSheet.AddPage(GetLangText(L"15", L"Full Page Zoom"), &m_pageOptions);
    }
    if (m_pagePrograms.Create(m_tabSheet.GetSafeHwnd())) {
        m_tabSheet.AddPage(GetLangText(L"30", L"Programs"), &m_pagePrograms);
        m_metPrograms.Create(
            fw::ModuleInstance(), m_strConfigIni,
            [this](const std::wstring& name) { m_pagePrograms.OnProgramMet(name); });
    }
    if (m_pageAbout.Create(m_tabSheet.GetSafeHwnd())) {
        m_nAboutPage = m_tabSheet.GetPageCount();
        m_tabSheet.AddPage(GetLangText(L"17", L"About"), &m_pageAbout);
    }
    m_tabSheet.SelectPage(0);

    MakeVersionLabelBold();
    if (GetCoreAssist().m_option.m_bCheckUpdate) {
        ArmUpdateCheck(true);
    }
    GetCoreAssist().EnableZoom();
    return TRUE;
}

std::wstring CLumivexMain::ConfigFile() {
    const CCoreAssist& core = GetCoreAssist();
    return core.m_strDataDir.empty()
               ? std::wstring()
               : ConfigFilePath(core.m_strDataDir.c_str(), core.m_strAppDir, L"Language");
}

void CLumivexMain::MakeVersionLabelBold() {
    HWND label = GetDlgItem(IDC_VERSION_LABEL);
    auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (!font || ::GetObjectW(font, sizeof(description), &description) != sizeof(description)) {
        return;
    }
    description.lfWeight = FW_BOLD;
    m_boldFont.reset(::CreateFontIndirectW(&description));
    if (m_boldFont) {
        ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.get()), TRUE);
    }
}

void CLumivexMain::ArmUpdateCheck(bool on) {
    HWND self = GetSafeHwnd();
    if (!on) {
        ::KillTimer(self, kUpdateTimerId);
        return;
    }
    if (!m_bUpdateCheckStarted) {
        const UINT delay =
            UpdateDelayFrom(EnvironmentValue(kUpdateDelayVariable).c_str(), kUpdateDelayMs);
        ::SetTimer(self, kUpdateTimerId, delay, nullptr);
    }
}

void CLumivexMain::StartUpdateCheck() {
    ::KillTimer(GetSafeHwnd(), kUpdateTimerId); // once per run
    if (m_bUpdateCheckStarted) {
        return;
    }
    m_bUpdateCheckStarted = true;
    const ProgramVersion program = ReadProgramVersion();
    const std::wstring version = CurrentVersionFrom(program.fields);
    if (program.productName.empty() || version.empty()) {
        return;
    }
    CAutoUpdate& update = GetAutoUpdate();
    update.m_hNotifyWnd = GetSafeHwnd();
    update.StartCheck(
        true, program.productName,
        UpdateUrlFrom(EnvironmentValue(kUpdateUrlVariable).c_str(), LUMIVEX_UPDATE_URL), version);
}

void CLumivexMain::OnUpdateAvailable() {
    Guarded(L"CDialog", L"OnUpdateAvailable", [this] {
        const CAutoUpdate& update = GetAutoUpdate();
        const std::wstring title = GetLangText(L"10", L"Lumivex Update");
        const std::wstring text = GetLangText(
            L"11", L"New version of Lumivex is available, click here for more information.");
        m_strUpdateAddress = NoticeAddress(update.m_strNewVerFile, LUMIVEX_HOME_PAGE);
        m_pageAbout.ShowUpdateNotice(text, m_strUpdateAddress);
        if (update.m_bNotify) {
            m_trayIcon.ShowBalloon(title, text);
        }
    });
}

int CLumivexMain::ToggleVisibility() {
    HWND self = GetSafeHwnd();
    if (::IsWindowVisible(self)) {
        ::ShowWindow(self, SW_MINIMIZE);
        ::ShowWindow(self, SW_HIDE);
    } else {
        ::ShowWindow(self, SW_MINIMIZE);
        ::ShowWindow(self, SW_SHOWNORMAL);
    }
    return 0;
}

void CLumivexMain::ShowAboutPage() {
    HWND self = GetSafeHwnd();
    ::ShowWindow(self, SW_SHOW);
    ::ShowWindow(self, SW_RESTORE);
    ::SetForegroundWindow(self);
    m_tabSheet.SelectPage(m_nAboutPage);
}

void CLumivexMain::UpdateTrayIcon() {
    if (!GetCoreAssist().m_option.m_bShowTrayIcon) {
        m_trayIcon.Delete();
        return;
    }
    m_trayIcon.Add(GetSafeHwnd(), m_hSmallIcon.get(), kProductName);
}

LRESULT CLumivexMain::OnTaskBarN(WPARAM wParam, LPARAM lParam) {
    return Guarded(L"CDialog", L"OnTaskBarN", LRESULT{0}, [&]() -> LRESULT {
        if (wParam != kTrayIconId) {
            return 0;
        }
        switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            ::ShowWindow(GetSafeHwnd(), SW_RESTORE);
            ::SetForegroundWindow(GetSafeHwnd());
            break;
        case WM_RBUTTONUP:
            ShowTrayMenu();
            break;
        case NIN_BALLOONUSERCLICK:
            if (!m_strUpdateAddress.empty()) {
                OpenAddress(GetSafeHwnd(), m_strUpdateAddress);
            }
            break;
        default:
            break;
        }
        return 0;
    });
}

void CLumivexMain::ShowTrayMenu() {
    UniqueMenu menu(::LoadMenuW(fw::ModuleInstance(), MAKEINTRESOURCEW(IDR_TASKBAR_MENU)));
    if (!menu) {
        return;
    }
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    if (!popup) {
        return;
    }
    TranslateMenu(menu.get(), IDR_TASKBAR_MENU);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // Without the foreground the menu would not close on a click elsewhere; the posted message
    // makes the next click after it behave.
    ::SetForegroundWindow(GetSafeHwnd());
    ::TrackPopupMenu(popup, kTrayMenuFlags, cursor.x, cursor.y, 0, GetSafeHwnd(), nullptr);
    ::PostMessageW(GetSafeHwnd(), WM_NULL, 0, 0);
}

void CLumivexMain::StoreShowTrayIcon() {
    UpdateData(true);
    CCoreAssist& core = GetCoreAssist();
    core.m_option.m_bShowTrayIcon = m_bShowTrayIcon ? 1 : 0;
}

void CLumivexMain::OnShowTrayIconClicked() {
    StoreShowTrayIcon();
    UpdateTrayIcon();
    GetCoreAssist().SaveOptions();
}

void CLumivexMain::OnExitCommand() {
    StoreShowTrayIcon();
    GetCoreAssist().SaveOptions();
    Send(WM_CLOSE);
}

void CLumivexMain::OnClose() {
    HWND self = GetSafeHwnd();
    // No hot key is ever registered; the call keeps the close sequence whole.
    ::UnregisterHotKey(self, 0);
    GetCoreAssist().DisableZoom(false);
    // The platform's own close handling is not run: it answers with Cancel, which would show a
    // hidden dialog while the program ends.
    m_trayIcon.Delete();
    ::PostQuitMessage(0);
}

void CLumivexMain::OnOK() {
    ToggleVisibility();
}

void CLumivexMain::OnCancel() {
    ToggleVisibility();
}

bool CLumivexMain::PreTranslateMessage(MSG* msg) {
    HWND self = GetSafeHwnd();
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN) &&
        (msg->hwnd == self || ::IsChild(self, msg->hwnd))) {
        return true;
    }
    return CDialog::PreTranslateMessage(msg);
}

} // namespace lumivex::app
