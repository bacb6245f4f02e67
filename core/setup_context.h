// The state of one run of the setup program.
#pragma once

#include <vector>

#include "core/distribution_kit.h"
#include "platform/strings.h"

struct SetupContext {
  int argumentCount = 0;
#ifdef _WIN32
  wchar_t** arguments = nullptr;
#else
  char** arguments = nullptr;
#endif
  bool silentMode = false;
  bool useWorkingDirectory = false;  // Linux only
  int languageId = 0;
  U16String languageCode{u"en"};
#ifdef _WIN32
  U16String windowTitle;
#else
  NarrowString windowTitle;
#endif
  U16String kitPath;
  std::vector<U16String> templateLocations;
  bool variantFileExists = false;
  bool variantOnly = false;
  U16String targetDirectory;
  DistributionKit kit;
};
