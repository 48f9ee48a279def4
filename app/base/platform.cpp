#include "platform.h"

#include <QStandardPaths>
#include <QSysInfo>

#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace Platform {

QString userName()
{
    return QString::fromUtf8(std::getenv("USERNAME"));
}

QString dataFolderPath(const QString &userName)
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:/Users/") + userName + QStringLiteral("/My Documents/Quorvane/");
#else
    Q_UNUSED(userName)
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Quorvane/");
#endif
}

int architectureCode()
{
#ifdef Q_OS_WIN
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture;
#else
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64"))
        return 9;
    if (cpu == QLatin1String("i386"))
        return 0;
    if (cpu == QLatin1String("arm64"))
        return 12;
    if (cpu.startsWith(QLatin1String("arm")))
        return 5;
    return 0xffff;
#endif
}

}
