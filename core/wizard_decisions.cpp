#include "core/wizard_decisions.h"

#include "core/distribution_kit.h"
#include "localization/message_catalogue.h"
#include "platform/fs_helpers.h"
#include "platform/paths.h"

U16String WelcomeText(const SetupContext& context) {
  U16String product, vendor;
  GetProductAndVendor(context.kit, context.languageCode, &product, &vendor);
  if (product.IsEmpty()) product = GetMessageText("IDS_DEFPRODUCT");
  if (vendor.IsEmpty()) vendor = GetMessageText("IDS_DEFPROVIDER");
  return GetMessageText("IDS_WELCOME_TITLE") + u" " + product + u" (" + vendor + u").";
}

U16String AcceptedDirectory(U16String typed) {
#ifndef _WIN32
  typed.ReplaceAll(u'\\', u'/');
#endif
  return typed;
}

U16String DescriptionPath(const SetupContext& context) {
  U16String link = GetDescriptionLink(context.kit, context.languageCode);
  if (link.StartsWith(u"\\") || link.StartsWith(u"/")) link.Erase(0, 1);
  // A kit without a description has nothing to open (the bare template
  // directory would be opened otherwise).
  if (link.IsEmpty()) return U16String();
  U16String path = JoinPath(context.targetDirectory, link);
#ifndef _WIN32
  path.ReplaceAll(u'\\', u'/');
#endif
  return path;
}

bool DescriptionExists(const SetupContext& context) {
  U16String path = DescriptionPath(context);
  return !path.IsEmpty() && PathExists(path);
}
