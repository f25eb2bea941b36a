#include "uninstall/removal_views.h"

#include <windows.h>

#include "base/ui/dialogs/dialogs.h"
#include "toolkit/application.h"
#include "win32/wide_text.h"

namespace uninstall {

RemovalWindow::RemovalWindow()
    : ProgressWindow({kUninstallerTitle, L"Процесс удаления программы.",
                      L"Прервать удаление программы?"},
                     {{L"Progress"}, 0, 0}) {}

void RemovalWindow::RemovalEnds() {
  Installing = false;
  ShowWindow(Handle(), SW_HIDE);
}

bool PersonRemovalWindow::ConfirmRemoval(const std::string& title, base::ProgramLog& log) {
  const std::wstring question =
      L"Удалить программу\r\"" + win::AnsiToWide(title) + L"\" и все её компоненты?";
  const int answer = base::ConfirmDialog(question, base::kOkCancel);
  log.Write(L"question: " + question + L", answer: " + (answer == base::kOk ? L"OK" : L"Cancel"));
  return answer == base::kOk;
}

void PersonRemovalWindow::ShowRecordError(const std::string& recordPath) {
  base::ShowErrorBox(L"", L"Ошибка в данных для удаления программы: \"" +
                              win::AnsiToWide(recordPath) + L"\".");
}

void PersonRemovalWindow::ShowReport(const std::string& title, const RemovalReport& report,
                                     RemovalOutcome outcome) {
  if (outcome == RemovalOutcome::kErrors) {
    const RemovalReport::Failure& first = report.failed.front();
    base::ShowErrorBox(L"", (first.what == "folder" ? L"Ошибка удаления директории: \""
                                                    : L"Ошибка удаления файла: \"") +
                                win::AnsiToWide(first.path) + L"\".");
  } else if (outcome != RemovalOutcome::kCancelled) {
    MessageBoxW(nullptr, FinalText(title, report).c_str(), kUninstallerTitle,
                MB_OK | MB_ICONINFORMATION);
  }
}

void WindowlessRemovalView::Pump() {
  if (auto* app = tk::Application::Instance()) app->ProcessMessages();
}

std::wstring FinalText(const std::string& title, const RemovalReport& report) {
  std::wstring text = L"Программа \"" + win::AnsiToWide(title) + L"\" удалена с компьютера.";
  if (!report.kept.empty()) {
    text += L"\r\rНе удалены:";
    for (std::size_t i = 0; i < report.kept.size() && i < 10; ++i) {
      text += L"\r" + win::AnsiToWide(report.kept[i]);
    }
    if (report.kept.size() > 10) text += L"\rи ещё " + std::to_wstring(report.kept.size() - 10) + L".";
  }
  if (report.restartNeeded) text += L"\rДля завершения удаления перезагрузите компьютер.";
  return text;
}

}  // namespace uninstall
