#include "toolkit/desktop_url.h"

#include <QDesktopServices>
#include <QUrl>

#include "toolkit/qt_text.h"

namespace {

UrlOpener opener;

// What a URL query may hold unencoded besides letters and digits.
constexpr char kQueryAllowed[] = "!$&'()*+,-./:;=?@_~";

QUrl ParseStrict(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !text.isEmpty() ? url : QUrl();
}

}  // namespace

bool OpenUrlInBrowser(TextView text) {
    const QString given = ToQString(text);
    QUrl url = ParseStrict(given);
    if (url.isEmpty()) url = ParseStrict(QString::fromLatin1(QUrl::toPercentEncoding(given, kQueryAllowed)));
    if (url.isEmpty()) return false;
    if (opener) return opener(FromQString(url.toString(QUrl::FullyEncoded)));
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener newOpener) { opener = std::move(newOpener); }
