// The worker thread on Linux: a plain POSIX thread, created detached and
// never joined. Its end is seen through the worker's life, whose lock its
// last touch is made under.
#include <pthread.h>

#include "core/install_worker.h"

int InstallWorker::StartThread() {
  pthread_attr_t attributes;
  int result = pthread_attr_init(&attributes);
  if (result != 0) return result;
  result = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (result == 0) result = pthread_create(&thread_, &attributes, Entry, this);
  pthread_attr_destroy(&attributes);
  return result;
}

void InstallWorker::ReleaseThread() {
  WaitForEnd();
}

void* InstallWorker::Entry(void* worker) {
  static_cast<InstallWorker*>(worker)->Run();
  return nullptr;
}
