// The views of a removal: the progress window (the wizard's frame and header on its "Progress"
// layout, captioned "Удаление программы"), shown with a person and under /SILENT, and the view
// of /VERYSILENT, which shows nothing.
#pragma once

#include "setup/wizard/form_main.h"
#include "uninstall/removal.h"

namespace uninstall {

class RemovalWindow : public setup::TFormMain, public RemovalView {
 public:
  RemovalWindow();
  void SetLabel(const std::wstring& text) override { SetFileLabel(text); }
  // The gauge counts the record's items.
  void SetGaugeMax(std::int32_t max) override {
    setup::TFormMain::SetGaugeMax(max);
    SetGaugeVisible(true);
  }
  void SetGaugePosition(std::int32_t position) override {
    setup::TFormMain::SetGaugePosition(position);
  }
  bool Aborted() const override { return setup::TFormMain::Aborted(); }
  void Pump() override { setup::TFormMain::Pump(); }
};

class WindowlessRemovalView : public RemovalView {
 public:
  void SetLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  bool Aborted() const override { return false; }
  void Pump() override;
};

}  // namespace uninstall
