// Quolk's own icon, from the renders embedded in the application.
#pragma once

#include <QIcon>

// Every embedded size of the icon (16 to 256 px) in one QIcon, so that the desktop picks the one
// that fits each place it shows it. Needs a QGuiApplication.
QIcon LoadApplicationIcon();
