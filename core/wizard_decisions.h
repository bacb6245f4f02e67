// What both wizards decide about the pages they show: the welcome text, the
// directory accepted from the destination page and the description file.
// The front ends only show the results.
#pragma once

#include "core/setup_context.h"
#include "platform/strings.h"

// The welcome page's text: "IDS_WELCOME_TITLE", then the product and the
// vendor of the run's language ("IDS_DEFPRODUCT" and "IDS_DEFPROVIDER" where
// the kit names none) as "Title Product (Vendor).".
U16String WelcomeText(const SetupContext& context);

// The template directory as typed on the destination page. Linux: every "\"
// becomes "/". Windows: taken as it is (the system reads either separator).
U16String AcceptedDirectory(U16String typed);

// The description file of the run's language inside the template directory:
// the directory, a separator unless it ends in one, and the link without a
// leading separator (on Linux with "/" for every "\"). Empty when the kit
// has no description link.
U16String DescriptionPath(const SetupContext& context);

// True when the description file exists, so that the success page may offer
// to open it.
bool DescriptionExists(const SetupContext& context);
