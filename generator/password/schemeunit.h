#pragma once

#include "scheme.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

struct Recipe;

// What one scheme knows of its recipes: its name, fields, ranges and defaults, derivation,
// entropy and profile line. A new scheme is a new unit in a file of its own and one more entry
// in Recipe's list of units.
struct SchemeUnit
{
    Scheme scheme;
    const char *name;   // in profile lines and on the command line
    // The original program refused an identifier that holds "|" even to derive from, as the
    // schemes of ours still do; LessPass's and Spectre's sites may hold one.
    bool refusesBarInIdentifier;

    void (*setDefaults)(Recipe *recipe);
    QString (*problem)(const Recipe &recipe);
    // Called only when problem() is empty, with the phrase this scheme receives.
    QString (*derive)(const Recipe &recipe, const QString &phrase);
    QString (*entropyText)(const Recipe &recipe);
    QString (*entropyNote)(const Recipe &recipe);
    // Its settings in a few words, after the scheme's name: "16, letters digits and symbols".
    QString (*describe)(const Recipe &recipe);
    // What makes each guess of the phrase cost, in a sentence's words; empty when nothing does.
    const char *guessCost;

    // Its lines' fields as a message shows them ("SITE|LENGTH|lesspass|...").
    const char *lineForm;
    // The fields of its profile line, and their reading back: false when the fields are not a
    // line of this scheme. `fields` has at least three, the third naming the scheme; a line
    // whose third field names a scheme is that scheme's line or none at all.
    QStringList (*lineFields)(const Recipe &recipe);
    bool (*readFields)(const QStringList &fields, Recipe *recipe);
    // Its text fields with their names, as a message names them: the ones a line must keep.
    QList<QPair<QString, QString>> (*textFields)(const Recipe &recipe);

    // The next version: the recipe with its counter one up; false where there is none.
    bool (*next)(const Recipe &recipe, Recipe *next);

    bool (*same)(const Recipe &a, const Recipe &b);
    // The recipe without what is kept beside the password but not derived from.
    void (*dropKept)(Recipe *recipe);
};

namespace SchemeUnits {

extern const SchemeUnit strong;
extern const SchemeUnit compatible;
extern const SchemeUnit lessPass;
extern const SchemeUnit spectre;

// The unit of the scheme.
const SchemeUnit &of(Scheme scheme);

// A next() for a scheme whose versions are its counter, up to `maximum`.
bool nextCounter(quint32 maximum, const Recipe &recipe, Recipe *next);

}
