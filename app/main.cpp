#include "main.h"

#include "hardening.h"
#include "platform.h"
#include "profilefile.h"
#include "profilestate.h"
#include "zav.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkInterface>

#include <cstdlib>

QString List_interfaces()
{
    QString list;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces)
        list += QStringLiteral("Interface:") + interface.hardwareAddress() + QLatin1Char('\n');
    return list;
}

void Start_up()
{
    qDebug() << "debug from int main";
    qDebug() << List_interfaces();

    const int architecture = Platform::architectureCode();
    if (architecture == 0) {
        qDebug() << "win32";
        qDebug() << architecture;
    } else if (architecture == 9) {
        qDebug() << "win64";
        qDebug() << architecture;
    }
    qDebug() << "processor_architecture_intel";
    qDebug() << 0;
    qDebug() << "processor_architecture_amd64";
    qDebug() << 9;
    qDebug() << "processor_architecture_intel_ia32_on_win64";
    qDebug() << 10;

    qDebug() << std::getenv("USERNAME");
    const QString userName = Platform::userName();
    qDebug() << userName;

    const QString dataFolder = Platform::dataFolderPath(userName);
    qDebug() << dataFolder;
    QDir folder(dataFolder);
    if (!folder.exists())
        ProfileFile::makePrivateFolder(dataFolder);

    profile_file_path = ProfileFile::defaultPath();
    qDebug() << profile_file_path;
    if (QFile(profile_file_path).exists()) {
        qDebug() << "file already exists - do nothing";
    } else {
        qDebug() << "create the file";
        // Never truncates a file that appeared meanwhile.
        ProfileFile::createPrivateFile(profile_file_path);
    }
}

int qMain(int argc, char **argv)
{
    // The trace names the accounts and the network cards: it is written only when asked for,
    // with QT_LOGGING_RULES="default.debug=true", which overrides this rule.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    Hardening::noCoreFiles();
    Hardening::failWritesPastFileLimit();
    Hardening::wipeFreedMemory();
    QApplication app(argc, argv);
    zav window;
    window.show();
    Start_up();
    return app.exec();
}
