// The original toolkit's UTF-8 rules: the one-pass re-encoding must equal decoding then
// encoding, for any bytes. (Decoding is not the inverse of encoding: that release drops a
// leading byte-order mark, and the compatible scheme relies on it.)
#include "fuzzsupport.h"
#include "legacyutf8.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const QString text = LegacyUtf8::decode(reinterpret_cast<const char *>(data), int(size));
    const QByteArray encoded = LegacyUtf8::encode(text);
    std::vector<unsigned char> out(3 * size + 1);
    const int written = LegacyUtf8::reencode(data, int(size), out.data());
    FUZZ_ASSERT(QByteArray(reinterpret_cast<const char *>(out.data()), written) == encoded,
                "one-pass re-encoding equals decode then encode");
    return 0;
}
