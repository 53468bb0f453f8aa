// Feeds arbitrary bytes to the dataset and delta stream readers: they must refuse what is
// malformed with EDAException and never read out of bounds or allocate without bound.
#include "dataaccess/DAException.h"
#include "dataaccess/TDADataStreamer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const auto tables = TDADataStreamer::ReadDatasets(bytes);
        // What was read must write back and read again the same.
        const auto again = TDADataStreamer::ReadDatasets(TDADataStreamer::WriteDatasets(tables));
        if (again.size() != tables.size())
            __builtin_trap();
    } catch (const EDAException &) {
    }
    try {
        const auto deltas = TDADataStreamer::ReadDeltas(bytes);
        const auto again = TDADataStreamer::ReadDeltas(TDADataStreamer::WriteDeltas(deltas));
        if (again.size() != deltas.size())
            __builtin_trap();
    } catch (const EDAException &) {
    }
    return 0;
}
