// The wizard's own pages, at the places and sizes designed at 96 pixels per inch, scaled for the
// screen: "Wellcome", "Settings" and "Finish" ("Progress" is the progress window's).
#include "setup/wizard/form_main.h"

namespace setup {

void TFormMain::CreateWellcomePage() {
  PageInfo& page = PageAt(kWellcome);
  c_.Label10 = AddLabel(*page.panel, 28, 28, 237, 13, L"Добро пожаловать в мастер установки.",
                        BoldFont(), true);
  c_.Label9 =
      AddLabel(*page.panel, 28, 56, 267, 13, L"Для начала установки программы нажмите \"Далее\".",
               WindowFont(), true);
  c_.BCancelWellcome = AddButton(page, 280, 168, L"Отмена");
  c_.BNextWellcome = AddButton(page, 196, 168, L"Далее");
  page.cancelButton = c_.BCancelWellcome;
  page.defaultButton = c_.BNextWellcome;
}

void TFormMain::CreateSettingsPage() {
  PageInfo& page = PageAt(kSettings);
  const auto& scale = Scale();
  c_.Label4 = AddLabel(*page.panel, 28, 28, 71, 13, L"Параметры:", BoldFont(), true);
  c_.Label3 = AddLabel(*page.panel, 28, 56, 212, 13, L"Укажите путь для установки программы:",
                       WindowFont(), true);
  c_.BNextSett = AddButton(page, 196, 168, L"Начать");
  c_.BCancelSett = AddButton(page, 280, 168, L"Отмена");
  c_.BPrevSett = AddButton(page, 112, 168, L"Назад");
  c_.EInstallPath = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, scale(40),
                                    scale(74), scale(301), scale(21), page.panel->Handle(),
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(c_.EInstallPath, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
  page.tabOrder.push_back(c_.EInstallPath);
  page.defaultButton = c_.BNextSett;
  page.cancelButton = c_.BCancelSett;

  browsePath_ = std::make_unique<ToolButton>();
  browsePath_->SetBounds(scale(344), scale(72), scale(23), scale(22));
  browsePath_->SetFont(WindowFont());
  browsePath_->Create(page.panel->Handle());
  browsePath_->SetCaption(L"...");
  browsePath_->OnClick = [this] { BBrowsePathClick(); };
}

void TFormMain::CreateFinishPage() {
  PageInfo& page = PageAt(kFinish);
  c_.LabelFinishOk = AddLabel(*page.panel, 28, 28, 203, 13, L"Установка программы завершена.",
                              BoldFont(), true);
  c_.LabelFinishBad =
      AddLabel(*page.panel, 28, 28, 150, 13, L"Установка не завершена.", BoldFont(), true);
  c_.BCancelFinish = AddButton(page, 280, 168, L"Закрыть");
  page.cancelButton = c_.BCancelFinish;
}

}  // namespace setup
