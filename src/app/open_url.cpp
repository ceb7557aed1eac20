#include "app/open_url.h"

#include "toolkit/desktop_url.h"

#ifndef QUOLK_DONATION_URL
#define QUOLK_DONATION_URL ""
#endif
#ifndef QUOLK_APPS_URL
#define QUOLK_APPS_URL ""
#endif

Text DonationUrl() { return TextFromUtf8(QUOLK_DONATION_URL); }
Text OtherAppsUrl() { return TextFromUtf8(QUOLK_APPS_URL); }

void OpenUrl(TextView url) {
    if (url.empty()) return;
    OpenUrlInBrowser(url);
}
