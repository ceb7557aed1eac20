#include "app/locale_formatter.h"

#include <QLocale>

#include "toolkit/qt_text.h"

namespace {

const QLocale& NumberLocale() {
    static const QLocale locale = [] {
        QLocale system = QLocale::system();
        if (system.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
        system.setNumberOptions(QLocale::DefaultNumberOptions);  // grouping on, as a number formatter has it
        return system;
    }();
    return locale;
}

Text LocaleByteCount(int64_t bytes) {
    const QLocale& locale = NumberLocale();
    if (bytes == 0 && locale.language() == QLocale::English) return u"Zero KB";
    const ByteCountParts parts = SplitByteCount(bytes);
    QString number = locale.toString(parts.value, 'f', parts.decimals);
    // Trailing zeros go, as they do in the plain form: "1.5 GB", "2 GB".
    const QString point = locale.decimalPoint();
    if (parts.decimals > 0 && number.contains(point)) {
        while (number.endsWith(locale.zeroDigit())) number.chop(locale.zeroDigit().size());
        if (number.endsWith(point)) number.chop(point.size());
    }
    return FromQString(number + u' ' + QString::fromLatin1(parts.unit));
}

Text LocaleGroupedCount(int64_t count) { return FromQString(NumberLocale().toString(qlonglong(count))); }

}  // namespace

SessionFormatter LocaleFormatter() { return SessionFormatter{LocaleByteCount, LocaleGroupedCount}; }
