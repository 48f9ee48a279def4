// The floor quorvane-cli's start-up is measured against: a QCoreApplication that starts and
// ends, built and linked as quorvane-cli is.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return 0;
}
