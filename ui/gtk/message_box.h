// The modal message box of the Linux wizard.
#pragma once

#include <cstdint>

#include "platform/strings.h"

class CWnd;

// Kinds: the top byte picks the icon, the lowest byte the buttons.
constexpr uint32_t kMessageErrorOk = 0x1000001;
constexpr uint32_t kMessageQuestionYesNo = 0x2000002;
constexpr uint32_t kMessagePlainOk = 1;

// Answers.
constexpr int kAnswerNone = 0;  // closed without a button
constexpr int kAnswerYes = 1;
constexpr int kAnswerNo = 2;
constexpr int kAnswerOk = 3;

// Shows text in a modal box of that kind and returns the answer. With an
// owner the box carries the owner's title. A "%" in text is shown as it is.
int ShowMessageBox(const CWnd* owner, const U16String& text, uint32_t kind);

// Answers the box that is open, if any, as its window's close button would
// (kAnswerNone), so that a run can end while a box waits.
void CloseOpenMessageBox();
