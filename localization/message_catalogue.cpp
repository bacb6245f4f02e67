#include "localization/message_catalogue.h"

#include <atomic>
#include <cstring>

#include "localization/message_ids.h"

namespace {
// The worker thread reads it too; it is set before the worker starts.
std::atomic<int> current_language{0};
}  // namespace

void SetCurrentLanguage(int language) {
  current_language.store(language, std::memory_order_release);
}

int CurrentLanguage() {
  return current_language.load(std::memory_order_acquire);
}

unsigned MessageIdOfKey(const char* key) {
  if (!key) return 0;
  for (const MessageKeyId& entry : kMessageKeyIds) {
    if (std::strcmp(entry.key, key) == 0) return entry.id;
  }
  return 0;
}
