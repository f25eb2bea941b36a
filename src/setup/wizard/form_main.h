// The wizard window: the progress window (header band and page container) with the pages
// "Wellcome", "Settings", "Progress" and "Finish". It owns the page flow and the folder browser
// button, and it is what an installation run shows its progress in.
//
//   tk::Application app;  app.SetTitle(L"Установка программы");
//   setup::TFormMain form;          // creates the window; FormCreate runs
//   app.SetMainWindow(form.Handle());
//   form.Show();                    // FormShow runs before the first paint
//   app.Run();
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "setup/run/install_sequence.h"
#include "setup/run/run_outcome.h"
#include "setup/wizard/progress_view.h"
#include "setup/wizard/tool_button.h"

namespace setup {

class TFormMain : public ProgressView {
 public:
  // The pages of Notebook1, in index order.
  enum Page : int { kWellcome = 0, kSettings = 1, kProgress = 2, kFinish = 3 };

  // Creates the window with every control (hidden), then runs FormCreate.
  TFormMain();

  // Runs FormShow, then shows the window and paints it.
  void Show();

  // Fills the path field (a folder given on the command line), in the ANSI code page.
  void SetInstallPath(const std::string& folder);
  // How the window's part ended: left before a run, or the run's outcome.
  Outcome EndedWith() const { return outcome_; }

  // The state of the run that "Начать" starts: filled in by FormCreate, the folder browser and
  // the run's preparation.
  RunState& State() { return state_; }
  // The installation that "Начать" starts: RunInstall. Tests put a procedure of their own here.
  InstallProcedure RunProcedure;

  // Event handlers.
  void FormCreate();
  void FormShow();
  void BNextWellcomeClick();
  void BPrevSettClick();
  void BBrowsePathClick();
  void BNextSettClick();

  // InstallView: the questions and errors of a run, asked and shown in boxes.
  WriteErrorAnswer AskWriteError(const std::wstring& text, unsigned long systemError,
                                 int attempt) override;
  void ShowRunError(const std::wstring& text) override;
  bool AcceptDiskShortfall(const VolumeSpace& volume) override;
  void ShowFolderError(const std::wstring& text) override;

  // The controls, named as the layout names them; read by tests and by the run.
  struct Controls : ProgressControls {
    HWND Label10, Label9, BCancelWellcome, BNextWellcome;
    HWND Label4, Label3, EInstallPath, BNextSett, BCancelSett, BPrevSett;
    HWND LabelFinishOk, LabelFinishBad, BCancelFinish;
  };
  const Controls& Ctl() const { return c_; }
  ToolButton& BBrowsePath() const { return *browsePath_; }

 private:
  void ButtonClicked(HWND button) override;

  // Layout of the wizard's own pages (form_layout.cpp).
  void CreateWellcomePage();
  void CreateSettingsPage();
  void CreateFinishPage();

  // The Finish page with exactly one of its two labels.
  void ShowFinish(bool completed);
  std::string InstallPathText() const;

  RunState state_;
  std::unique_ptr<ToolButton> browsePath_;
  Controls c_{};
  Outcome outcome_ = Outcome::kLeftBeforeRun;
};

}  // namespace setup
