#include "app/about_box.h"

#include "app/main_window.h"
#include "app/open_url.h"
#include "platform/system_info.h"
#include "toolkit/requester.h"

namespace {

constexpr int kSeeOtherApps = 2;

}  // namespace

Text AboutText(TextView systemName, TextView processorBrand) {
    // The texts of the about box are the same in every language.
    return Text(u"An app memory diagnostic for Linux\nmade with great angst\n\rRunning on ") + Text(systemName) +
           u" and " + Text(processorBrand) +
           u"\n\rQuolk watches a process's memory and tells whether it leaks.\n"
           u"Built with Qt, for the Linux desktop.\n";
}

void ShowAboutBox() {
    AlertAttention();
    const int answer = AlertRequester(MainWindowTitle, AboutText(OperatingSystemName(), ProcessorBrand()),
                                      {u"Ok", u"See My Other Apps"});
    if (answer == kSeeOtherApps) OpenUrl(OtherAppsUrl());
}
