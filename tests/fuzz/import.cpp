// Every site-list format the import reads. Whatever the bytes: a list or a reason; every recipe
// read can be derived, and its profile line reads back as the same recipe.
#include "fuzzsupport.h"
#include "siteimport.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const SiteImport::Result result = SiteImport::read(fuzzBytes(data, size));
    if (result.status != SiteImport::Result::Read) {
        FUZZ_ASSERT(!result.problem.isEmpty() && result.recipes.isEmpty(), "a refused file says why and gives nothing");
        return 0;
    }
    for (const Recipe &recipe : result.recipes) {
        FUZZ_ASSERT(recipe.problem().isEmpty(), "an imported recipe can be derived");
        if (!recipe.storableProblem().isEmpty())
            continue;
        Recipe again;
        FUZZ_ASSERT(Recipe::fromLine(recipe.line(), &again) && again == recipe, "an imported profile's line reads back");
    }
    return 0;
}
