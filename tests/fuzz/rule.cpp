// The short rules ("aA9!:#$") and the counter, as typed or read from a profile line.
#include "fuzzsupport.h"
#include "rule.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const QString text = fuzzText(data, size);
    int counter = 0;
    if (Counter::parse(text, &counter)) {
        int again = 0;
        FUZZ_ASSERT(Counter::parse(QString::number(counter), &again) && again == counter, "a counter written back");
    }
    Rule rule;
    if (SiteRule::isRuleText(text) || !Rule::parse(text, &rule))
        return 0;   // site rules have their own target
    Rule again;
    FUZZ_ASSERT(Rule::parse(rule.text(), &again) && again == rule, "a rule's text parses to the same rule");
    if (!rule.isBase64()) {
        FUZZ_ASSERT(!rule.alphabet().isEmpty(), "a rule has characters");
        FUZZ_ASSERT(std::isfinite(rule.entropyText(4).toDouble()), "a rule's entropy is a number");
    }
    return 0;
}
