#pragma once

#include "recipe.h"

#include <QList>
#include <QString>
#include <QWidget>

// One scheme's fields in the main window. A panel shows a recipe and gives one back; it keeps
// its own values and defaults while another scheme is chosen, and says when any of its fields
// changes, so that the window can drop a password made from other inputs. The window keeps the
// phrase, the identifier and the scheme choice, and asks the panel for the rest.
class SchemePanel : public QWidget
{
    Q_OBJECT

public:
    explicit SchemePanel(QWidget *parent = nullptr);

    // The recipe its fields show, for the identifier last given by setIdentifier.
    virtual Recipe recipe() const = 0;
    // What keeps the fields from being a recipe at all (characters that make no rule), in the
    // words of a notice; empty when none. Recipe::problem() says the rest.
    virtual QString inputProblem() const;
    // Shows a recipe of its scheme, as a retrieved profile gives it.
    virtual void setRecipe(const Recipe &recipe) = 0;
    // Back to its own defaults, as Clear Parameters leaves them.
    virtual void reset() = 0;
    // The scheme chosen while the panel shows (one panel may serve two schemes).
    virtual void setScheme(Scheme scheme);
    // The identifier the window holds; a panel may offer what it knows of that site.
    virtual void setIdentifier(const QString &identifier);
    // The focus on the field that a notice about the recipe's problem is about.
    virtual void focusProblem(const Recipe &recipe) = 0;
    // Shows a recipe's texts the way a profile keeps them (a site rule's canonical text).
    virtual void showKept(const Recipe &recipe);
    // Its fields in reading order: the window's tab order runs through them.
    virtual QList<QWidget *> fields() const = 0;

signals:
    void changed();
    void submitted();   // Enter in one of its fields

protected:
    // Any change of these fields is a change of the panel; Enter in a line edit or spin box of
    // theirs submits.
    void follow(const QList<QWidget *> &widgets);
    bool eventFilter(QObject *object, QEvent *event) override;

    QString identifier;
};
