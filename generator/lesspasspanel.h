#pragma once

#include "schemepanel.h"

namespace Ui { class lesspasspanel; }

// LessPass's fields: the login, the length (5 to 35, LessPass's 16 to start), the four classes
// and the counter (1 to 4294967295).
class LessPassPanel : public SchemePanel
{
    Q_OBJECT

public:
    explicit LessPassPanel(QWidget *parent = nullptr);
    ~LessPassPanel() override;

    Recipe recipe() const override;
    QString inputProblem() const override;
    void setRecipe(const Recipe &recipe) override;
    void reset() override;
    void focusProblem(const Recipe &recipe) override;
    QList<QWidget *> fields() const override;

private:
    Ui::lesspasspanel *ui;
};
