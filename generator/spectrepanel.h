#pragma once

#include "schemepanel.h"

namespace Ui { class spectrepanel; }

// Spectre's fields: the user name, the purpose (which brings its usual template), the
// template, a security answer's keyword, the algorithm version and the counter. A login name
// that an imported site list kept is shown and kept with the recipe while the identifier is
// still that site.
class SpectrePanel : public SchemePanel
{
    Q_OBJECT

public:
    explicit SpectrePanel(QWidget *parent = nullptr);
    ~SpectrePanel() override;

    Recipe recipe() const override;
    void setRecipe(const Recipe &recipe) override;
    void reset() override;
    void setIdentifier(const QString &identifier) override;
    void focusProblem(const Recipe &recipe) override;
    QList<QWidget *> fields() const override;

private:
    void purposeChosen(int index);
    void showKeptLogin();

    Ui::spectrepanel *ui;
    QString keptLogin;
    QString keptLoginSite;
};
