#include "win32/main_dialog.h"

#include <commctrl.h>

#include <vector>

#include "convert/process.h"
#include "platform/windows/unicode.h"
#include "win32/about_dialog.h"
#include "win32/controls.h"
#include "win32/resource_ids.h"
#include "window/help.h"
#include "window/window_texts.h"

namespace tamarind::win32 {

namespace {

constexpr UINT kTrayIconId = 217;
constexpr int kButtonShift = 55;
constexpr int kTabHeaderHeight = 22;

HICON SmallIcon() {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMARIND), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}

void CentreInWorkArea(HWND window) {
  RECT work, box;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(window, &box);
  SetWindowPos(window, nullptr, work.left + ((work.right - work.left) - (box.right - box.left)) / 2,
               work.top + ((work.bottom - work.top) - (box.bottom - box.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void MoveRight(HWND dialog, int id, int pixels) {
  const HWND control = GetDlgItem(dialog, id);
  RECT box;
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
  SetWindowPos(control, nullptr, box.left + pixels, box.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace

MainDialog::~MainDialog() {
  if (trayInstalled_) Shell_NotifyIconW(NIM_DELETE, &tray_);
  if (tabImages_) ImageList_Destroy(tabImages_);
}

bool MainDialog::Create() {
  trayMessage_ = RegisterWindowMessageW(L"WM_TRAYICON");
  return CreateFromTemplate(IDD_MAIN, nullptr, RGB(236, 255, 245), RGB(249, 249, 249));
}

INT_PTR MainDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == trayMessage_ && trayMessage_ != 0) {
    if (wParam == kTrayIconId) OnTrayIcon(lParam);
    return TRUE;
  }
  switch (message) {
    case WM_INITDIALOG: Initialise(); return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE)
        SelectTab(static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
      return TRUE;
    }
    case WM_SYSCOMMAND:
      // Minimised, the window lives in the notification area; without an
      // icon there, it stays in the task bar (nothing could bring it back).
      if ((wParam & 0xFFF0) == SC_MINIMIZE && trayInstalled_) {
        ShowWindow(window_, SW_HIDE);
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: CloseAll(2); return TRUE;
    case WM_DROPFILES: OnDrop(reinterpret_cast<HDROP>(wParam)); return TRUE;
    case WM_COMMAND: return OnCommand(LOWORD(wParam));
    case WM_AUTOCONVERT: SendMessageW(convertPage_.Window(), WM_AUTOCONVERT, wParam, lParam); return TRUE;
  }
  return FALSE;
}

void MainDialog::Initialise() {
  CentreInWorkArea(window_);
  SendMessageW(window_, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMARIND))));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon()));
  tabs_ = GetDlgItem(window_, IDC_TABS);
  tabImages_ = ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TABS), 16, 0, RGB(255, 0, 255),
                                    IMAGE_BITMAP, LR_CREATEDIBSECTION);
  SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(tabImages_));
  const wchar_t* names[] = {L"Convert", L"Options"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = const_cast<wchar_t*>(names[i]);
    item.iImage = i;
    SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  const ProfileFile profile = ProfileFile::Load(settingsPath_);
  convertPage_.Create(tabs_, ReadMainFields(profile));
  optionsPage_.Create(tabs_, ReadPageOptions(profile, conversionSettings.recalcLines), [this](int minutes, bool on) {
    SendMessageW(convertPage_.Window(), WM_AUTOCONVERT, static_cast<WPARAM>(minutes), on ? 1 : 0);
  });
  PlacePages();
  SelectTab(0);
  MoveRight(window_, IDC_HELP_BUTTON, kButtonShift);
  MoveRight(window_, IDC_ABOUT, kButtonShift);
  AddTrayIcon();
  DragAcceptFiles(window_, TRUE);
}

void MainDialog::TakeSource(const DroppedSource& source) {
  if (source.sourceText.empty()) return;
  // What is typed on the Convert tab stays; then the source kind is chosen
  // as a click would choose it, and the Convert tab shows the result.
  convertPage_.ExchangeFields(false);
  optionsPage_.ChooseSourceKind(source.files);
  convertPage_.TakeSource(source);
  SelectTab(0);
  Trace("source: " + source.sourceText);
}

void MainDialog::OnDrop(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(platform::Narrow(path));
  }
  DragFinish(drop);
  TakeSource(SourceFromDrop(paths));
}

void MainDialog::PlacePages() {
  RECT area;
  GetClientRect(tabs_, &area);
  for (HWND page : {convertPage_.Window(), optionsPage_.Window()})
    SetWindowPos(page, nullptr, area.left, area.top + kTabHeaderHeight, area.right - area.left,
                 area.bottom - (area.top + kTabHeaderHeight), SWP_NOZORDER);
}

void MainDialog::AddTrayIcon() {
  tray_.cbSize = NOTIFYICONDATAW_V2_SIZE;
  tray_.hWnd = window_;
  tray_.uID = kTrayIconId;
  tray_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray_.uCallbackMessage = trayMessage_;
  tray_.hIcon = SmallIcon();
  const std::wstring tip = platform::Widen(TrayTip(optionsPage_.ReadControls().conversion.format));
  wcsncpy(tray_.szTip, tip.c_str(), std::size(tray_.szTip) - 1);
  trayInstalled_ = Shell_NotifyIconW(NIM_ADD, &tray_);
}

void MainDialog::SelectTab(int index) {
  // The focus must not stay in a page that is hidden: it goes to the tabs.
  const HWND focus = GetFocus();
  for (HWND page : {convertPage_.Window(), optionsPage_.Window()})
    if (focus && IsChild(page, focus)) SetFocus(tabs_);
  if (index == 0) {
    SyncOptionsToConvertPage();
    ShowWindow(optionsPage_.Window(), SW_HIDE);
    ShowWindow(convertPage_.Window(), SW_SHOW);
  } else if (index == 1) {
    // What was typed on the Convert tab is read before it is hidden.
    convertPage_.ExchangeFields(false);
    ShowWindow(convertPage_.Window(), SW_HIDE);
    ShowWindow(optionsPage_.Window(), SW_SHOW);
  } else {
    return;
  }
  SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  Trace(index == 0 ? "tab: Convert" : "tab: Options");
}

void MainDialog::SyncOptionsToConvertPage() {
  const ConversionOptions& options = optionsPage_.ReadControls().conversion;
  convertPage_.SetOptions(options);
  convertPage_.ExchangeFields(true);
  if (trayInstalled_) {
    wcsncpy(tray_.szTip, platform::Widen(TrayTip(options.format)).c_str(), std::size(tray_.szTip) - 1);
    Shell_NotifyIconW(NIM_MODIFY, &tray_);
  }
}

bool MainDialog::OnCommand(int id) {
  switch (id) {
    // Enter never ends the program: a user who typed a path and pressed it
    // would lose the window.
    case IDOK: return true;
    // Esc must not lose the window either: while a run converts it offers
    // to cancel the run, otherwise it does nothing.
    case IDCANCEL:
      if (convertPage_.Running() && MessageBoxW(window_, platform::Widen(kCancelRunQuestion).c_str(), L"Tamarind",
                                                MB_YESNO | MB_ICONQUESTION) == IDYES)
        convertPage_.Cancel();
      return true;
    case IDM_EXIT: CloseAll(1); return true;
    case IDM_OPEN: Restore(); return true;
    case IDC_ABOUT: ShowAboutDialog(GetActiveWindow() ? GetActiveWindow() : window_); return true;
    case IDC_HELP_BUTTON: OpenHelp(); return true;
  }
  return false;
}

void MainDialog::OnTrayIcon(LPARAM event) {
  if (event == WM_RBUTTONUP) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_TRAY));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    POINT at;
    GetCursorPos(&at);
    SetForegroundWindow(window_);
    SetMenuDefaultItem(popup, 0, TRUE);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, window_, nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
    DestroyMenu(menu);
  } else if (event == WM_LBUTTONDBLCLK) {
    SetForegroundWindow(window_);
    SendMessageW(window_, WM_COMMAND, IDM_OPEN, 0);
  }
}

void MainDialog::Restore() {
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOW);
  if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
  else BringWindowToTop(window_);
  SetForegroundWindow(window_);
}

void MainDialog::OpenHelp() {
  platform::Expected<std::string> manual = HelpDocumentPath(processPaths.modulePath);
  if (!manual) return ShowMessage(window_, manual.reason(), "Tamarind", MB_ICONWARNING);
  ShellExecuteW(window_, L"open", platform::Widen(*manual).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void MainDialog::CloseAll(int exitCode) {
  if (closed_) return;
  closed_ = true;
  KillTimer(convertPage_.Window(), AUTOCONVERT_TIMER);  // no run may start while the window goes
  convertPage_.StopAndWait();
  // Read again, so that lines anyone else wrote meanwhile are kept.
  ProfileFile profile = ProfileFile::Load(settingsPath_);
  convertPage_.Save(profile);
  optionsPage_.Save(profile);
  if (platform::Status saved = profile.Save(); !saved) settingsError_ = saved.reason();
  else Trace("saved: " + settingsPath_);
  DestroyWindow(convertPage_.Window());
  DestroyWindow(optionsPage_.Window());
  DestroyWindow(window_);
  PostQuitMessage(exitCode);
}

bool MainDialog::TakeMessage(MSG& message) {
  if (!window_ || !IsWindow(window_)) return false;
  // Ctrl+Tab and Ctrl+Shift+Tab switch tabs, as in every tabbed dialog.
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000)) {
    const int current = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
    SelectTab(current == 0 ? 1 : 0);
    return true;
  }
  return IsDialogMessageW(window_, &message);
}

}  // namespace tamarind::win32
