// The worker thread on Linux: a plain POSIX thread that is never joined.
#include <pthread.h>

#include "core/install_worker.h"
#include "localization/message_catalogue.h"
#include "platform/result_codes.h"

namespace {

void* WorkerBody(void* argument) {
  InstallWorker* worker = static_cast<InstallWorker*>(argument);
  RunInstallWorker(*worker->channel);
  return nullptr;
}

}  // namespace

void StartWorker(InstallWorker& worker, ProgressChannel& channel) {
  worker.channel = &channel;
  worker.startResult = -1;
  channel.MarkWorkerStarted();
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) == 0) {
    worker.startResult = pthread_create(&worker.thread, &attributes, WorkerBody, &worker);
    pthread_attr_destroy(&attributes);
    if (worker.startResult == 0) pthread_detach(worker.thread);
  }
  // Without a worker nothing would ever be published: report it as a failed
  // installation so that the front end does not wait for ever.
  if (worker.startResult != 0) {
    // No thread could be made for the installation.
    channel.PublishError(static_cast<int32_t>(kErrorNotEnoughMemory),
                         GetMessageText("IDS_INSTALL_ERROR"), 0);
    channel.MarkWorkerEnded(kErrorNotEnoughMemory);
  }
}
