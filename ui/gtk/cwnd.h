// The base of the wizard window: a window that can name itself.
#pragma once

#include "platform/strings.h"

class CWnd {
 public:
  virtual ~CWnd() = default;
  // The caption that message boxes owned by this window carry.
  virtual U16String GetTitle() const { return U16String(); }
};
