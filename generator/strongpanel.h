#pragma once

#include "schemepanel.h"
#include "lengths.h"
#include "sitelist.h"

namespace Ui { class strongpanel; }

// The strong and compatible schemes' fields: the length (the original program's box, from 4,
// wrapping), the characters (presets, custom classes, a site's rules) and the version. The
// compatible scheme has the length alone; its other fields stay, disabled, beside a warning.
// While the characters are the default and the identifier names a site whose rules are known,
// a button offers them; they are never taken by themselves.
class StrongPanel : public SchemePanel
{
    Q_OBJECT

public:
    explicit StrongPanel(QWidget *parent = nullptr);
    ~StrongPanel() override;

    Recipe recipe() const override;
    QString inputProblem() const override;
    void setRecipe(const Recipe &recipe) override;
    void reset() override;
    void setScheme(Scheme scheme) override;
    void setIdentifier(const QString &identifier) override;
    void focusProblem(const Recipe &recipe) override;
    void showKept(const Recipe &recipe) override;
    QList<QWidget *> fields() const override;

private:
    // The rule the characters controls describe; false, with what is wrong, for choices that
    // are no rule. The compatible scheme always has base64.
    bool selectedRule(Rule *rule, QString *problem) const;
    void selectRule(const Rule &rule);
    void ruleChoiceChanged();
    // A site rule's lengths narrow the length box; any other rule has 4 to 32.
    void fitLengthToRule();
    void showRuleText(const QString &text);
    void offerSiteRule();
    void takeSiteRule();

    Ui::strongpanel *ui;
    bool compatible = false;
    int otherLength = Derivation::compatibleDefaultLength;   // the length of the scheme not shown
    bool countsWords = false;                                 // "Words" is the chosen characters
    int otherCount = Derivation::wordsDefaultLength;          // words when characters show, and back
    SiteList::Match offeredSite;
};
