// The floor of quorvane-cli's start (bench/processes.cpp): a QCoreApplication program that starts
// and ends, built and linked as quorvane-cli is.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return 0;
}
