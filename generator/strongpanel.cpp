#include "strongpanel.h"
#include "ui_strongpanel.h"

#include "derivation.h"
#include "notices.h"

#include <QDir>
#include <QEvent>
#include <QLabel>

namespace {

// The rule of each preset of rulecombo, in its order; "Custom" and "Site rules" have none.
const char *const presetRules[] = {"base64", "aA9!", "aA9", "9"};
constexpr int customIndex = 4;
constexpr int siteRulesIndex = 5;
constexpr int wordsIndex = 6;
// Where the length box starts for each scheme: 16 for a strong password, as in every other
// door, and the original program's lowest length for its scheme.
int startLength(bool compatible)
{
    return compatible ? Derivation::compatibleDefaultLength : Derivation::strongDefaultLength;
}

}

// Keeps a word-wrapped label as tall as its lines need at its width: the window's minimum
// height then grows with it instead of cutting its last line off.
class WrapWatch : public QObject
{
public:
    explicit WrapWatch(QLabel *label) : QObject(label), label(label) { label->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            label->setMinimumHeight(label->heightForWidth(label->width()));
        return false;
    }

private:
    QLabel *label;
};

StrongPanel::StrongPanel(QWidget *parent) : SchemePanel(parent), ui(new Ui::strongpanel)
{
    ui->setupUi(this);
    new WrapWatch(ui->schemewarning);
    follow({ui->plengthspinbox, ui->rulecombo, ui->lowercasebox, ui->uppercasebox, ui->digitsbox, ui->symbolsbox,
            ui->symbolsedit, ui->ruletextedit, ui->counterspinbox, ui->wordsspacebox, ui->wordscapsbox, ui->wordsdigitbox});
    connect(ui->rulecombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &StrongPanel::ruleChoiceChanged);
    connect(ui->symbolsbox, &QCheckBox::toggled, ui->symbolsedit, &QWidget::setEnabled);
    connect(ui->ruletextedit, &QLineEdit::textChanged, this, &StrongPanel::fitLengthToRule);
    connect(ui->ruletextedit, &QLineEdit::textChanged, ui->ruletextedit, &QWidget::setToolTip);
    connect(ui->siterulebutton, &QPushButton::clicked, this, &StrongPanel::takeSiteRule);
    ui->siterulelabel->setBuddy(ui->ruletextedit);
    ui->plengthspinbox->setValue(startLength(false));
    setScheme(Scheme::Strong);
    ruleChoiceChanged();
}

StrongPanel::~StrongPanel()
{
    delete ui;
}

Recipe StrongPanel::recipe() const
{
    Recipe r = Recipe::defaults(compatible ? Scheme::Compatible : Scheme::Strong);
    r.identifier = identifier;
    r.length = ui->plengthspinbox->value();
    QString problem;
    if (!compatible) {
        selectedRule(&r.rule, &problem);
        r.counter = quint32(ui->counterspinbox->value());
    }
    return r;
}

QString StrongPanel::inputProblem() const
{
    Rule rule;
    QString problem;
    if (selectedRule(&rule, &problem))
        return QString();
    if (ui->rulecombo->currentIndex() != siteRulesIndex)
        return QStringLiteral("The custom characters are not a rule: ") + problem;
    if (ui->ruletextedit->text().trimmed().isEmpty())
        return QStringLiteral("The Site rules field is empty: type or paste the site's password rules");
    return QStringLiteral("The Site rules field holds no rule: ") + problem;
}

void StrongPanel::setRecipe(const Recipe &r)
{
    selectRule(r.rule);   // first: a site rule's lengths bound the length box
    ui->plengthspinbox->setValue(r.length);
    ui->counterspinbox->setValue(int(qMin<quint32>(r.counter, quint32(Counter::maximum))));
}

void StrongPanel::reset()
{
    // The rule first: its lengths would otherwise hold the length box.
    ui->rulecombo->setCurrentIndex(0);
    ui->ruletextedit->clear();
    otherLength = startLength(!compatible);
    otherCount = Derivation::wordsDefaultLength;
    ui->plengthspinbox->setValue(startLength(compatible));
    ui->counterspinbox->setValue(Counter::first);
    for (QCheckBox *box : {ui->lowercasebox, ui->uppercasebox, ui->digitsbox, ui->symbolsbox})
        box->setChecked(true);
    for (QCheckBox *box : {ui->wordsspacebox, ui->wordscapsbox, ui->wordsdigitbox})
        box->setChecked(false);
    ui->symbolsedit->clear();
}

void StrongPanel::setScheme(Scheme scheme)
{
    // Each of the two schemes keeps its own length, as every panel keeps its values.
    if (compatible != (scheme == Scheme::Compatible)) {
        const int shown = ui->plengthspinbox->value();
        compatible = scheme == Scheme::Compatible;
        fitLengthToRule();
        ui->plengthspinbox->setValue(otherLength);
        otherLength = shown;
    }
    ui->schemewarning->setVisible(compatible);
    // The compatible scheme has neither rule nor version.
    for (QWidget *w : {static_cast<QWidget *>(ui->rulelabel), static_cast<QWidget *>(ui->rulecombo),
                       static_cast<QWidget *>(ui->versionlabel), static_cast<QWidget *>(ui->counterspinbox),
                       static_cast<QWidget *>(ui->customrule), static_cast<QWidget *>(ui->siterulelabel),
                       static_cast<QWidget *>(ui->wordsrule),
                       static_cast<QWidget *>(ui->ruletextedit)})
        w->setEnabled(!compatible);
    fitLengthToRule();
    offerSiteRule();
}

void StrongPanel::setIdentifier(const QString &text)
{
    SchemePanel::setIdentifier(text);
    offerSiteRule();
}

void StrongPanel::focusProblem(const Recipe &)
{
    if (ui->rulecombo->currentIndex() == siteRulesIndex)
        ui->ruletextedit->setFocus();
    else if (ui->rulecombo->currentIndex() == customIndex && ui->symbolsbox->isChecked())
        ui->symbolsedit->setFocus();
    else
        ui->rulecombo->setFocus();
}

void StrongPanel::showKept(const Recipe &r)
{
    if (r.rule.isSiteRule() && ui->rulecombo->currentIndex() == siteRulesIndex)
        showRuleText(r.rule.text());   // shown as it is kept
}

QList<QWidget *> StrongPanel::fields() const
{
    return {ui->siterulebutton, ui->plengthspinbox, ui->rulecombo,    ui->lowercasebox,  ui->uppercasebox,
            ui->digitsbox,      ui->symbolsbox,     ui->symbolsedit,  ui->wordsspacebox, ui->wordscapsbox,
            ui->wordsdigitbox,  ui->ruletextedit,   ui->counterspinbox};
}

bool StrongPanel::selectedRule(Rule *rule, QString *problem) const
{
    if (compatible) {
        *rule = Rule();
        return true;
    }
    const int index = ui->rulecombo->currentIndex();
    if (index == siteRulesIndex && ui->ruletextedit->text().trimmed().isEmpty()) {
        *problem = QStringLiteral("the field is empty");
        return false;
    }
    if (index == siteRulesIndex)
        return Rule::parse(ui->ruletextedit->text(), rule, problem);
    if (index == wordsIndex) {
        QStringList options;
        if (ui->wordsspacebox->isChecked())
            options << QStringLiteral("space");
        if (ui->wordscapsbox->isChecked())
            options << QStringLiteral("caps");
        if (ui->wordsdigitbox->isChecked())
            options << QStringLiteral("digit");
        return Rule::parse(options.isEmpty() ? QStringLiteral("words") : QStringLiteral("words:") + options.join(QLatin1Char(',')),
                           rule, problem);
    }
    const QString text = index >= 0 && index < customIndex
        ? QString::fromLatin1(presetRules[index])
        : Rule::compose(ui->lowercasebox->isChecked(), ui->uppercasebox->isChecked(), ui->digitsbox->isChecked(),
                        ui->symbolsbox->isChecked(), ui->symbolsedit->text());
    return Rule::parse(text, rule, problem);
}

void StrongPanel::selectRule(const Rule &rule)
{
    if (rule.isSiteRule()) {
        showRuleText(rule.text());
        ui->rulecombo->setCurrentIndex(siteRulesIndex);
        fitLengthToRule();
        return;
    }
    if (rule.isWords()) {
        ui->wordsspacebox->setChecked(rule.wordsJoinedBySpace());
        ui->wordscapsbox->setChecked(rule.wordsCapitalised());
        ui->wordsdigitbox->setChecked(rule.wordsWithDigit());
        ui->rulecombo->setCurrentIndex(wordsIndex);
        fitLengthToRule();
        return;
    }
    for (int i = 0; i < customIndex; ++i) {
        if (rule.text() == QLatin1String(presetRules[i])) {
            ui->rulecombo->setCurrentIndex(i);
            return;
        }
    }
    ui->lowercasebox->setChecked(rule.has('a'));
    ui->uppercasebox->setChecked(rule.has('A'));
    ui->digitsbox->setChecked(rule.has('9'));
    ui->symbolsbox->setChecked(rule.has('!'));
    ui->symbolsedit->setText(rule.symbols() == Rule::allSymbols() ? QString() : rule.symbols());
    ui->rulecombo->setCurrentIndex(customIndex);
}

void StrongPanel::ruleChoiceChanged()
{
    const int index = ui->rulecombo->currentIndex();
    ui->customrule->setVisible(index == customIndex);
    ui->siterulelabel->setVisible(index == siteRulesIndex);
    ui->ruletextedit->setVisible(index == siteRulesIndex);
    ui->wordsrule->setVisible(index == wordsIndex);
    ui->symbolsedit->setEnabled(ui->symbolsbox->isChecked());
    // The length box counts words for a passphrase (six at first, the EFF's advice), characters
    // otherwise; each keeps the value the user gave it.
    const bool words = index == wordsIndex;
    if (words != countsWords) {
        countsWords = words;
        const int shown = ui->plengthspinbox->value();
        fitLengthToRule();
        ui->plengthspinbox->setValue(otherCount);
        otherCount = shown;
        ui->pwlength->setText(words ? QStringLiteral("Words") : QStringLiteral("Select Password Length (No. Of Characters)"));
        ui->plengthspinbox->setAccessibleDescription(words ? QStringLiteral("Number of words of the passphrase, from 4 to 12")
                                                           : QStringLiteral("Number of characters of the password, from 4 to 32"));
    }
    fitLengthToRule();
    offerSiteRule();
}

void StrongPanel::fitLengthToRule()
{
    int low = Derivation::minimumLength;
    int high = Derivation::maximumLength;
    Rule rule;
    if (!compatible && ui->rulecombo->currentIndex() == siteRulesIndex && Rule::parse(ui->ruletextedit->text(), &rule)
        && rule.minimumLength() <= rule.maximumLength()) {
        low = rule.minimumLength();
        high = rule.maximumLength();
    } else if (!compatible && ui->rulecombo->currentIndex() == wordsIndex) {
        low = Derivation::fewestWords;
        high = Derivation::mostWords;
    }
    // A wrapping spin box would carry a length above the new range round to its lowest end.
    ui->plengthspinbox->setWrapping(false);
    ui->plengthspinbox->setRange(low, high);
    ui->plengthspinbox->setWrapping(true);
}

void StrongPanel::showRuleText(const QString &text)
{
    // A rule is read from its start; the whole of a long one is in the tooltip.
    ui->ruletextedit->setText(text);
    ui->ruletextedit->setCursorPosition(0);
}

void StrongPanel::offerSiteRule()
{
    // Never chosen by itself: a password already in use for this identifier must not change.
    offeredSite = SiteList::Match();
    if (!compatible && ui->rulecombo->currentIndex() == 0 && !identifier.trimmed().isEmpty())
        offeredSite = SiteList::installed().match(identifier);
    ui->siterulebutton->setVisible(!offeredSite.isNull());
    if (offeredSite.isNull())
        return;
    Rule rule;
    const QString shown = Rule::parse(offeredSite.rule, &rule) ? rule.text() : offeredSite.rule;
    ui->siterulebutton->setText(QStringLiteral("Use the password rules of %1").arg(offeredSite.domain));
    ui->siterulebutton->setToolTip(QStringLiteral("%1\nFrom %2").arg(shown, QDir::toNativeSeparators(offeredSite.source)));
}

void StrongPanel::takeSiteRule()
{
    Rule rule;
    QString problem;
    if (offeredSite.isNull())
        return;
    if (!Rule::parse(offeredSite.rule, &rule, &problem)) {
        badrule::showProblem(QStringLiteral("the password rules of %1 cannot be read: %2").arg(offeredSite.domain, problem));
        return;
    }
    showRuleText(rule.text());
    ui->rulecombo->setCurrentIndex(siteRulesIndex);
    fitLengthToRule();
    // The longest the rule allows up to 32, the strongest, as quorvane-cli's --rule=site takes it.
    ui->plengthspinbox->setValue(rule.maximumLength());
    ui->ruletextedit->setFocus();
}
