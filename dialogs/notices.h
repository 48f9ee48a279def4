#pragma once

#include "notice.h"

namespace Ui {
class addprodialog;
class inputmsg1;
class savedalready;
class empty;
class emptysecret;
class notsaved;
class notdeleted;
class notderived;
class notstorable;
class phrasetoolong;
class notread;
class filebusy;
class badrule;
class importreport;
class badprofile;
class aboutdialog;
}

// Answers to the user's input.

class addprodialog : public notice
{
    Q_OBJECT

public:
    explicit addprodialog(QWidget *parent = nullptr);
    ~addprodialog() override;

private:
    Ui::addprodialog *ui;
};

class inputmsg1 : public notice
{
    Q_OBJECT

public:
    explicit inputmsg1(QWidget *parent = nullptr);
    ~inputmsg1() override;

private:
    Ui::inputmsg1 *ui;
};

class savedalready : public notice
{
    Q_OBJECT

public:
    explicit savedalready(QWidget *parent = nullptr);
    ~savedalready() override;

private:
    Ui::savedalready *ui;
};

class empty : public notice
{
    Q_OBJECT

public:
    explicit empty(QWidget *parent = nullptr);
    ~empty() override;

private:
    Ui::empty *ui;
};

class emptysecret : public notice
{
    Q_OBJECT

public:
    explicit emptysecret(QWidget *parent = nullptr);
    ~emptysecret() override;

private:
    Ui::emptysecret *ui;
};

// Failures of the system, reported in the same style.

class notsaved : public notice
{
    Q_OBJECT

public:
    explicit notsaved(QWidget *parent = nullptr);
    ~notsaved() override;

private:
    Ui::notsaved *ui;
};

class notdeleted : public notice
{
    Q_OBJECT

public:
    explicit notdeleted(QWidget *parent = nullptr);
    ~notdeleted() override;

private:
    Ui::notdeleted *ui;
};

class notderived : public notice
{
    Q_OBJECT

public:
    explicit notderived(QWidget *parent = nullptr);
    ~notderived() override;

private:
    Ui::notderived *ui;
};

// An identifier that the profile file could not give back as it was typed.
class notstorable : public notice
{
    Q_OBJECT

public:
    explicit notstorable(QWidget *parent = nullptr);
    ~notstorable() override;

private:
    Ui::notstorable *ui;
};

// A paste or key that would make the secret phrase longer than the program takes.
class phrasetoolong : public notice
{
    Q_OBJECT

public:
    explicit phrasetoolong(QWidget *parent = nullptr);
    ~phrasetoolong() override;

private:
    Ui::phrasetoolong *ui;
};

// A profile file that cannot be read, is not a plain file or is too large to be one.
class notread : public notice
{
    Q_OBJECT

public:
    explicit notread(QWidget *parent = nullptr);
    ~notread() override;

private:
    Ui::notread *ui;
};

// Another window or quorvane-cli kept the profile file locked for longer than we wait.
class filebusy : public notice
{
    Q_OBJECT

public:
    explicit filebusy(QWidget *parent = nullptr);
    ~filebusy() override;

private:
    Ui::filebusy *ui;
};

// Inputs of a scheme that make no password; setProblem says which and why, in the words of
// the fields the window shows.
class badrule : public notice
{
    Q_OBJECT

public:
    explicit badrule(QWidget *parent = nullptr);
    ~badrule() override;

    void setProblem(const QString &problem);
    // Shows the notice with the problem, its first letter made upper case.
    static void showProblem(const QString &problem);

private:
    Ui::badrule *ui;
};

// What an import of a site list did: the summary and the sites left out, or why nothing was
// imported.
class importreport : public notice
{
    Q_OBJECT

public:
    explicit importreport(QWidget *parent = nullptr);
    ~importreport() override;

    void setReport(const QString &report);
    // File > Import Profiles...: a site list chosen, imported into the profile file, and this
    // report of what was imported and what was left out; nothing on cancel.
    static void importSiteList(QWidget *parent, const QString &profilePath);

private:
    Ui::importreport *ui;
};

// A saved line that makes no password; setReason says why.
class badprofile : public notice
{
    Q_OBJECT

public:
    explicit badprofile(QWidget *parent = nullptr);
    ~badprofile() override;

    void setReason(const QString &reason);
    // Shows the notice with the reason.
    static void showReason(const QString &reason);

private:
    Ui::badprofile *ui;
};

// The about box.

class aboutdialog : public notice
{
    Q_OBJECT

public:
    explicit aboutdialog(QWidget *parent = nullptr);
    ~aboutdialog() override;

private:
    Ui::aboutdialog *ui;
};

// Shows the notice N modally, as every caller does, and returns when the user has closed it.
template<class N>
void showNotice()
{
    N dialog;
    dialog.run();
}
