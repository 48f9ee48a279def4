#pragma once

#include "notice.h"
#include "recipe.h"

#include <QString>

namespace Ui { class strengthdialog; }

// How strong the current phrase and password are, estimated on this computer alone.
class strengthdialog : public notice
{
    Q_OBJECT

public:
    explicit strengthdialog(QWidget *parent = nullptr);
    ~strengthdialog() override;

    // "70.3 bits, weak", or why there is no figure.
    void setPhraseStrength(const QString &text);
    // The password's entropy with what it counts, or why there is none.
    void setPasswordStrength(const QString &text);
    // What makes each guess of the phrase cost under the chosen scheme; empty when nothing does.
    void setGuessCost(const QString &text);

    // Shows the dialog for the recipe the window shows, the phrase typed and the entropy of the
    // password shown (empty when none is).
    static void showFor(const Recipe &recipe, const QString &phrase, const QString &entropy);

private:
    // The height its texts need at its width.
    void fitHeight();

    Ui::strengthdialog *ui;
};
