#include "app/app_icon.h"

#include <QDirIterator>

QIcon LoadApplicationIcon() {
    QIcon icon;
    // One folder per size, as in the icon theme: :/icons/<size>x<size>/apps/quolk.png.
    QDirIterator renders(":/icons", {"quolk.png"}, QDir::Files, QDirIterator::Subdirectories);
    while (renders.hasNext()) icon.addFile(renders.next());
    return icon;
}
