#pragma once

#include <QString>

// Facts about the machine and the user that differ between Windows and other systems.
namespace Platform {

// The USERNAME environment variable decoded as UTF-8; the empty text when it is unset.
QString userName();

// The per-user data folder, with its closing slash: on Windows "c:/Users/<user>/My Documents/
// Quorvane/", elsewhere the user's documents folder followed by "/Quorvane/".
QString dataFolderPath(const QString &userName);

// The processor architecture as Windows numbers it: 0 x86, 5 ARM, 9 x86-64, 12 ARM64,
// 0xffff anything else.
int architectureCode();

}
