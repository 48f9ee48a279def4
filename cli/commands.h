#pragma once

#include "command.h"

namespace Cli {

class DeriveCommand : public Command
{
public:
    DeriveCommand();

protected:
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
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;
};

// "profiles add" and "profiles remove": the same options, opposite changes.
class ChangeCommand : public Command
{
public:
    explicit ChangeCommand(bool add);

protected:
    QList<QCommandLineOption> options() const override;
    int execute(const QCommandLineParser &parser) override;

private:
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

}
