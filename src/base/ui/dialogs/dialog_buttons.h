// The buttons of the program's question dialog: their kinds, which are also its answers, and
// sets of them.
#pragma once

namespace base {

// Button kinds of ConfirmDialog; the value is the answer the button gives.
enum DialogButton : int { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5 };

// A set of button kinds, one bit per kind (bit 1 << kind). Shown in the fixed order of kinds.
using ButtonSet = unsigned;
constexpr ButtonSet ButtonBit(DialogButton kind) {
  return 1u << kind;
}
constexpr ButtonSet kOkCancel = ButtonBit(kOk) | ButtonBit(kCancel);
constexpr ButtonSet kAbortRetryIgnore = ButtonBit(kAbort) | ButtonBit(kRetry) | ButtonBit(kIgnore);

}  // namespace base
