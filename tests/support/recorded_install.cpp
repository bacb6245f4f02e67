#include "tests/support/recorded_install.h"

#include "core/template_installer.h"
#include "tests/support/test_support.h"

uint32_t RecordedInstall::Run(DistributionKit& kit, const std::string& target,
                              Observer onPublication, bool cancelFirst) {
  publications.clear();
  observer_ = std::move(onPublication);
  channel_.Prepare(&kit, U16(target));
  if (cancelFirst) channel_.RequestCancel();
  channel_.SetNotifier(&RecordedInstall::Record, this);
  TemplateInstaller installer(channel_);
  installer.SetFinishPause(0);
  uint32_t result = installer.InstallAll(channel_);
  keptBackup = Utf8(installer.keptBackupDirectory());
  channel_.SetNotifier(nullptr, nullptr);
  return result;
}

void RecordedInstall::Record(void* data) {
  auto* self = static_cast<RecordedInstall*>(data);
  Publication p;
  U16String text;
  self->channel_.Read(&p.status, &text, &p.percentage);
  p.text = Utf8(text);
  self->publications.push_back(p);
  if (self->observer_) self->observer_(p, self->channel_);
}
