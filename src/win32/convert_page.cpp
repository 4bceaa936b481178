#include "win32/convert_page.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/windows/unicode.h"
#include "win32/controls.h"
#include "win32/resource_ids.h"
#include "window/window_texts.h"

namespace tamarind::win32 {

namespace {

constexpr int kSourceColumn = 0;
constexpr int kOutputColumn = 1;
constexpr int kResultColumn = 2;
constexpr int kReasonColumn = 3;
constexpr int kHeaderColumn = 4;

void SetCell(HWND list, int row, int column, std::string_view text) {
  std::wstring wide = platform::Widen(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The shell's folder browser; "" when cancelled.
std::string BrowseForFolder(HWND owner) {
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return {};
  wchar_t path[MAX_PATH * 4] = {};
  const bool got = SHGetPathFromIDListEx(chosen, path, static_cast<DWORD>(std::size(path)), GPFIDL_DEFAULT);
  CoTaskMemFree(chosen);
  return got ? platform::Narrow(path) : std::string();
}

}  // namespace

// What the worker reports, handed to the page's thread without waiting for
// it: a Cancel on that thread that waits for the worker can never deadlock.
class ConvertPage::WorkerReports : public RunEvents {
 public:
  explicit WorkerReports(ConvertPage* page) : page_(page) {}
  void SaveDirFailed(const std::string& reason) override {
    Post([page = page_, reason] { ShowMessage(page->window_, SaveDirErrorText(reason), "Error", MB_ICONERROR); });
  }
  void RunPlanned(const RunProgress& progress) override {
    Post([page = page_, progress] {
      page->progress_ = progress;
      const int64_t units = std::clamp<int64_t>(progress.units, 1, std::numeric_limits<int>::max());
      SendDlgItemMessageW(page->window_, IDC_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(units));
      SendDlgItemMessageW(page->window_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    });
  }
  void FileStarted(size_t index, const std::string& source) override {
    Post([page = page_, index, source] { page->AddRow(static_cast<int>(index), source); });
  }
  void FileFinished(size_t index, const FinishedFile& file, const RunProgress& progress) override {
    Post([page = page_, index, file, progress] { page->FinishRow(static_cast<int>(index), file, progress); });
  }
  void RunFinished(const RunProgress& progress, bool cancelled) override {
    Post([page = page_, progress, cancelled] { page->OnRunFinished(progress, cancelled); });
  }

 private:
  void Post(std::function<void()> report) { page_->Post(std::move(report)); }
  ConvertPage* page_;
};

ConvertPage::~ConvertPage() { StopAndWait(); }

bool ConvertPage::Create(HWND parent, const MainFields& fields) {
  form_.sourceText = fields.sourceText;
  form_.destinationText = fields.destinationText;
  form_.statusText = std::string(kFirstStatusText);
  return CreateFromTemplate(IDD_CONVERT, parent, RGB(196, 255, 225), RGB(252, 252, 252));
}

INT_PTR ConvertPage::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: Initialise(); return TRUE;
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_TIMER:
      if (wParam == AUTOCONVERT_TIMER) OnTimer();
      return TRUE;
    case WM_AUTOCONVERT:
      if (lParam == 1)
        SetTimer(window_, AUTOCONVERT_TIMER, static_cast<UINT>(AutoConvertIntervalMs(static_cast<int>(wParam))),
                 nullptr);
      else KillTimer(window_, AUTOCONVERT_TIMER);
      return TRUE;
    case WM_WORKER_REPORTS: RunPosted(); return TRUE;
  }
  return FALSE;
}

void ConvertPage::Initialise() {
  const HWND list = GetDlgItem(window_, IDC_RESULTS);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const std::wstring headers[] = {L"Source Fax Files", platform::Widen(DestinationColumnHead(OutputFormat::Jpeg)),
                                  L"Results", L"Reason", L"Header"};
  constexpr int kWidths[] = {120, 120, 90, 200, 160};
  for (int column = 0; column < 5; ++column) {
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.pszText = const_cast<wchar_t*>(headers[column].c_str());
    header.cx = kWidths[column];
    header.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&header));
  }
  EnableControl(window_, IDC_CANCEL_RUN, false);
  ExchangeFields(true);
}

bool ConvertPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_GO: OnGo(); return true;
    case IDC_CANCEL_RUN: OnCancel(); return true;
    case IDC_BROWSE_SOURCE: OnBrowseSource(); return true;
    case IDC_BROWSE_DESTINATION: OnBrowseDestination(); return true;
    case IDC_FILTER:
      if (code == EN_KILLFOCUS) form_.filterText = ControlText(window_, IDC_FILTER);
      return true;
    case IDOK:
    case IDCANCEL: return true;  // Enter and Esc on the page do nothing
  }
  return false;
}

void ConvertPage::SetOptions(const ConversionOptions& options) {
  form_.options = options;
  // Captions that name the output format.
  SetControlText(window_, IDC_CONVERT_GROUP, ConvertGroupCaption(form_.options.format));
  std::wstring head = platform::Widen(DestinationColumnHead(form_.options.format));
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = head.data();
  SendDlgItemMessageW(window_, IDC_RESULTS, LVM_SETCOLUMNW, kOutputColumn, reinterpret_cast<LPARAM>(&column));
}

void ConvertPage::ExchangeFields(bool toControls) {
  const std::pair<int, std::string*> fields[] = {{IDC_FILTER, &form_.filterText},
                                                 {IDC_SOURCE, &form_.sourceText},
                                                 {IDC_DESTINATION, &form_.destinationText},
                                                 {IDC_STATUS, &form_.statusText}};
  for (auto [id, text] : fields) {
    if (toControls) SetControlText(window_, id, *text);
    else *text = ControlText(window_, id);
  }
}

void ConvertPage::TakeSource(const DroppedSource& source) {
  if (source.sourceText.empty() || worker_.Running()) return;
  form_.sourceText = source.sourceText;
  ExchangeFields(true);
}

void ConvertPage::OnGo() {
  ExchangeFields(false);
  if (const std::string refusal = form_.GoRefusal(worker_.Running()); !refusal.empty())
    return ShowMessage(window_, refusal, "Warning", MB_ICONWARNING);
  StartRun(false);
}

void ConvertPage::OnTimer() {
  if (worker_.Running()) return;
  ExchangeFields(false);
  if (form_.PrepareFileList()) StartRun(true);
}

void ConvertPage::StartRun(bool byTimer) {
  RunPlan plan = form_.Plan(byTimer);
  SetRunControls(true);
  SendDlgItemMessageW(window_, IDC_RESULTS, LVM_DELETEALLITEMS, 0, 0);
  sources_.clear();
  SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  shownDestination_ = plan.options.destination;
  progress_ = RunProgress{};
  Trace("run: " + plan.options.source + " -> " + plan.options.destination);
  worker_.Start(form_.job, std::move(plan), std::make_unique<WorkerReports>(this));
}

void ConvertPage::SetRunControls(bool running) {
  // The focus moves from the button about to be disabled to the one that
  // takes its place, never to nowhere (keys would then reach no control).
  const HWND focus = GetFocus();
  EnableControl(window_, running ? IDC_CANCEL_RUN : IDC_GO, true);
  if (focus == GetDlgItem(window_, running ? IDC_GO : IDC_CANCEL_RUN) || (focus && !IsWindowEnabled(focus)))
    SetFocus(GetDlgItem(window_, running ? IDC_CANCEL_RUN : IDC_GO));
  for (int id : {IDC_GO, IDC_BROWSE_SOURCE, IDC_BROWSE_DESTINATION, IDC_SOURCE, IDC_DESTINATION})
    EnableControl(window_, id, !running);
  EnableControl(window_, IDC_CANCEL_RUN, running);
  SetCursor(LoadCursorW(nullptr, running ? IDC_APPSTARTING : IDC_ARROW));
}

void ConvertPage::EndRun() { SetRunControls(false); }

void ConvertPage::OnCancel() {
  // The worker stops after the file in progress, whose output is never cut
  // short; its last reports still arrive and the page stays usable.
  worker_.RequestStop();
  EndRun();
}

void ConvertPage::Post(std::function<void()> report) {
  {
    std::lock_guard lock(reportsMutex_);
    reports_.push_back(std::move(report));
  }
  PostMessageW(window_, WM_WORKER_REPORTS, 0, 0);
}

void ConvertPage::RunPosted() {
  for (;;) {
    std::function<void()> report;
    {
      std::lock_guard lock(reportsMutex_);
      if (reports_.empty()) return;
      report = std::move(reports_.front());
      reports_.pop_front();
    }
    report();
  }
}

void ConvertPage::AddRow(int index, const std::string& source) {
  const HWND list = GetDlgItem(window_, IDC_RESULTS);
  if (sources_.size() <= static_cast<size_t>(index)) sources_.resize(static_cast<size_t>(index) + 1);
  sources_[static_cast<size_t>(index)] = source;
  std::wstring shown = platform::Widen(ShownPath(source, form_.sourceFolder));
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = shown.data();
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
  form_.statusText = RunningText(progress_, ShownPath(source, form_.sourceFolder));
  SetControlText(window_, IDC_STATUS, form_.statusText);
}

void ConvertPage::FinishRow(int index, const FinishedFile& file, const RunProgress& progress) {
  const HWND list = GetDlgItem(window_, IDC_RESULTS);
  const std::string output = OutputCellText(file.outputs, shownDestination_);
  SetCell(list, index, kOutputColumn, output);
  SetCell(list, index, kResultColumn, ResultText(file.result));
  const std::string sourcePath = index < static_cast<int>(sources_.size()) ? sources_[static_cast<size_t>(index)] : "";
  SetCell(list, index, kReasonColumn, ReasonCellText(file.reason, sourcePath, shownDestination_));
  SetCell(list, index, kHeaderColumn, file.header);
  progress_ = progress;
  SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(progress.unitsDone), 0);
  wchar_t source[1024] = {};
  LVITEMW item{};
  item.iSubItem = kSourceColumn;
  item.pszText = source;
  item.cchTextMax = static_cast<int>(std::size(source));
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  Trace("row " + std::to_string(index) + ": " + platform::Narrow(source) + " | " + output + " | " +
        std::string(ResultText(file.result)) + (file.reason.empty() ? "" : " | " + file.reason));
}

void ConvertPage::OnRunFinished(const RunProgress& progress, bool cancelled) {
  form_.statusText = DoneText(progress, cancelled);
  SetControlText(window_, IDC_STATUS, form_.statusText);
  EndRun();
  worker_.Finished();
  Trace(form_.statusText);
}

void ConvertPage::OnBrowseSource() {
  ExchangeFields(false);
  if (form_.options.convertFiles) {
    std::vector<wchar_t> names(32768, L'\0');
    std::wstring filter = platform::Widen(form_.filterText);
    filter.push_back(L'\0');
    filter += platform::Widen(form_.filterText);
    filter.push_back(L'\0');
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = GetActiveWindow();
    open.lpstrFilter = filter.c_str();
    open.lpstrFile = names.data();
    open.nMaxFile = static_cast<DWORD>(names.size());
    open.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&open)) return;
    // One file: its full path. Several: the folder, then each name.
    std::vector<std::string> pieces;
    for (const wchar_t* at = names.data(); *at; at += wcslen(at) + 1) pieces.push_back(platform::Narrow(at));
    if (pieces.size() == 1) {
      const std::string& path = pieces.front();
      const size_t cut = path.find_last_of("\\/");
      pieces = {path.substr(0, cut), path.substr(cut + 1)};
    }
    const std::string folder = pieces.front();
    pieces.erase(pieces.begin());
    form_.sourceText = FormatFileSelection(folder, pieces);
  } else {
    std::string folder = BrowseForFolder(GetActiveWindow());
    if (folder.empty()) return;
    form_.sourceText = folder;
  }
  ExchangeFields(true);
}

void ConvertPage::OnBrowseDestination() {
  // Read first, or the re-display below would undo what was typed since
  // the last exchange.
  ExchangeFields(false);
  std::string folder = BrowseForFolder(GetActiveWindow());
  if (folder.empty()) return;
  form_.destinationText = folder;
  ExchangeFields(true);
}

void ConvertPage::Save(ProfileFile& profile) {
  ExchangeFields(false);
  WriteMainFields(profile, {form_.sourceText, form_.destinationText});
}

}  // namespace tamarind::win32
