#pragma once

#include "command.h"
#include "phrasechange.h"

namespace Cli {

class DeriveCommand : public Command
{
public:
    DeriveCommand();

protected:
    bool readsProfiles(const QCommandLineParser &parser) const override;
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
};

class FingerprintCommand : public Command
{
public:
    FingerprintCommand();

protected:
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
};

class StrengthCommand : public Command
{
public:
    StrengthCommand();

protected:
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
};

class ListCommand : public Command
{
public:
    ListCommand();

protected:
    bool readsProfiles(const QCommandLineParser &) const override { return true; }
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
};

// "profiles add" and "profiles remove": the same options, opposite changes.
class ChangeCommand : public Command
{
public:
    explicit ChangeCommand(bool add);

protected:
    bool readsProfiles(const QCommandLineParser &) const override { return true; }
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
    // remove: a line as "profiles list" prints it, or an identifier that names one profile.
    QString operandName() const override { return adds ? QString() : QStringLiteral("LINE"); }
    bool operandRequired() const override { return false; }

private:
    // The one saved line that LINE names; Ok, or the exit code of a message already written.
    static int namedLine(const QString &path, const QString &name, QString *line);
    static int removeLine(const QString &path, const QString &line);

    bool adds;
};

// "rules show RULE" and "rules site IDENTIFIER".
class RulesCommand : public Command
{
public:
    explicit RulesCommand(bool show);

protected:
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
    QString operandName() const override;

private:
    bool shows;
};

// "profiles import FILE": a LessPass or Spectre site list, as profiles.
class ImportCommand : public Command
{
public:
    ImportCommand();

protected:
    bool readsProfiles(const QCommandLineParser &) const override { return true; }
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
    QString operandName() const override { return QStringLiteral("FILE"); }
};

// "browser setup" and "browser remove": the browser host's manifests for the user.
class BrowserCommand : public Command
{
public:
    explicit BrowserCommand(bool setup);

protected:
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;

private:
    bool setsUp;
};

// "profiles next NAME": the profile at its next version, saved in its place.
class NextCommand : public Command
{
public:
    NextCommand();

protected:
    bool readsProfiles(const QCommandLineParser &) const override { return true; }
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
    QString operandName() const override { return QStringLiteral("NAME"); }
};

// "phrase change", "phrase status", "phrase show NAME" and "phrase moved NAME": a change of the
// secret phrase, one site at a time.
class PhraseCommand : public Command
{
public:
    enum Mode { Change, Status, Show, Moved, Cancel };
    explicit PhraseCommand(Mode mode);

protected:
    bool readsProfiles(const QCommandLineParser &) const override { return true; }
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
    QString operandName() const override;
    bool operandRequired() const override { return mode != Moved; }
    int maximumOperands() const override { return mode == Moved ? 1000000 : operandName().isEmpty() ? 0 : 1; }

private:
    int markMoved(const QCommandLineParser &parser, const QString &path, const PhraseChange::Status &now);

    Mode mode;
};

// "export --format=FORMAT [--output=FILE]": every profile for another password manager.
class ExportCommand : public Command
{
public:
    ExportCommand();

protected:
    bool readsProfiles(const QCommandLineParser &) const override { return true; }
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
};

}
