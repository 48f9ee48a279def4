#pragma once

#include "recipe.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtMessageHandler>

#include <functional>

namespace TestSupport {

// Rows of a tab-separated file under tests/data; lines starting with "#" are comments.
QList<QStringList> readTsv(const QString &name);

// One row of a scheme's vectors as a recipe, with its phrase, password and (where the file
// gives it) entropy.
struct Vector
{
    QString file;
    Recipe recipe;
    QString phrase;
    QString password;
    QString entropy;
};
// Every row of every scheme's vector files: compatible, strong, strong rules, site rules,
// LessPass and Spectre.
QList<Vector> vectors();

// A strong or compatible recipe, as the profile tests write them.
Recipe profileRecipe(const QString &identifier, int length, Scheme scheme, const Rule &rule = Rule(), int counter = 1);

// Text from UTF-16 code units written as hex, four digits each.
QString fromHexUnits(const QString &hex);
QString toHexUnits(const QString &text);

// A fresh HOME (and XDG_CONFIG_HOME) for the lifetime of the object, so that nothing touches
// the real home folder.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    QString path() const { return dir.path(); }
    QString dataFolder() const;     // where the program keeps its profile file
    QString profileFile() const;

private:
    QTemporaryDir dir;
    QByteArray oldHome;
    QByteArray oldConfig;
};

struct TraceLine
{
    QString message;
    QString file;
    QString function;
    int line = 0;
};

// Collects every trace line written while it lives.
class TraceCapture
{
public:
    TraceCapture();
    ~TraceCapture();
    QList<TraceLine> lines() const;
    QStringList messages() const;

private:
    QtMessageHandler previous;
};

struct ModalSeen
{
    QString className;
    QString title;
    QString text;
};

// Runs `action` while answering every modal window that opens during it; the windows are
// recorded in order. `act` may press something in a window instead of closing it (it returns
// true when it has done so).
QList<ModalSeen> answerModals(const std::function<void()> &action,
                              const std::function<bool(QWidget *)> &act = {});

// What a program did: its exit code (-1 for a crash), standard output and standard error.
struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};
// Runs a program to its end with `input` on its standard input.
Run runProgram(const QString &program, const QStringList &args, const QByteArray &input = QByteArray(),
               int timeoutMs = 300000);

// The whole file, or an empty array when it is missing.
QByteArray fileBytes(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);

}
