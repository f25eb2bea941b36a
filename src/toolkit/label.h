// The toolkit's windowless text label: a caption drawn with DrawTextW at the top of the label,
// aligned left, centred or right, tabs expanded, optionally word-wrapped, with '&' marking the
// accelerator character unless ShowAccelChar is off. Disabled, it shows the caption embossed in
// the system's button colours. With AutoSize on (the default) it fits its size to the caption.
//
// Use:
//   tk::Label label;
//   label.SetBounds(28, 28, 237, 13);
//   label.SetCaption("Добро пожаловать в мастер установки.");   // UTF-8 or a wide text
//   label.SetFont(font);
//   label.SetParent(&page);                    // join a tk::Panel
//   label.Loaded();                            // the fit of a finished form (when AutoSize is on)
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/colors.h"
#include "toolkit/font.h"
#include "toolkit/graphic_control.h"
#include "win32/handles.h"

namespace tk {

enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

class Label : public GraphicControl {
 public:
  Label();
  ~Label() override;

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(std::wstring caption);
  void SetCaption(std::string_view utf8);
  void SetCaption(const char* utf8) { SetCaption(std::string_view(utf8)); }

  const tk::Font& Font() const { return font_; }
  // Refits an auto-sized label and repaints.
  void SetFont(const tk::Font& font);

  // The background colour used when the label is not transparent.
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  bool Transparent() const { return !Opaque(); }
  void SetTransparent(bool transparent);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);

  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on);  // refits an auto-sized label

  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool on);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);  // switching it on fits at once

  // The form has finished loading: an auto-sized label fits itself now.
  void Loaded() { AdjustBounds(); }

 protected:
  void Paint(HDC dc) override;
  // The caption has changed: the base label refits an auto-sized label and repaints.
  virtual void CaptionChanged();
  // Fits width and height to the plain caption (only while AutoSize is on); a right-aligned
  // label keeps its right edge.
  void AdjustBounds();

  // The DrawTextW flags of the label's settings: alignment, DT_EXPANDTABS, DT_WORDBREAK with
  // word wrap, DT_NOPREFIX without accelerator characters.
  UINT DrawTextFlags() const;
  // Draws the caption into rect with flags in colour (a TColor, resolved here); the label's font
  // must be selected into dc and the text background transparent.
  void DrawCaption(HDC dc, RECT rect, UINT flags, TColor color) const;
  // The label's GDI font (made from Font() when first needed).
  HFONT FontHandle();

 private:
  std::wstring caption_;
  tk::Font font_;
  win::Font fontHandle_;
  TColor color_ = clBtnFace;
  TAlignment alignment_ = taLeftJustify;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  bool enabled_ = true;
  bool autoSize_ = true;
};

}  // namespace tk
