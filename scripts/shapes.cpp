// Writes browser/shapes.js: the fingerprint's sixteen shapes as SVG paths, from the very paths
// the window paints, so that the extension draws the same symbols. A test compares the file
// with what this prints; after a change of the shapes: build/quorvane-shapes > browser/shapes.js
#include "fingerprint.h"
#include "fingerprintview.h"

#include <cstdio>

int main()
{
    std::printf("// The fingerprint's shapes as the window paints them, in the box from -1 to 1.\n"
                "// Written by build/quorvane-shapes (scripts/shapes.cpp): do not edit by hand.\n"
                "export const shapes = {\n");
    for (int shape = 0; shape < 16; ++shape) {
        std::printf("  %s: { d: '%s', evenOdd: %s },\n", qPrintable(Fingerprint::shapeName(shape)),
                    qPrintable(FingerprintView::svgPath(shape)), FingerprintView::fillsEvenOdd(shape) ? "true" : "false");
    }
    std::printf("};\n");
    return 0;
}
