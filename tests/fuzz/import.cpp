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
    for (const PeerRecipe &recipe : result.recipes) {
        FUZZ_ASSERT(PeerSchemes::problem(recipe).isEmpty(), "an imported recipe can be derived");
        if (!ProfileFile::storableProblem(recipe).isEmpty())
            continue;
        PeerRecipe again;
        FUZZ_ASSERT(PeerSchemes::fromFields(PeerSchemes::line(recipe).split(QLatin1Char('|')), &again) && again == recipe,
                    "an imported profile's line reads back");
    }
    return 0;
}
