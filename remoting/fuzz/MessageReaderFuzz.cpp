// Feeds arbitrary bytes to the message reader and to the server's dispatcher: either may refuse
// them with an error, neither may crash, leak or read out of bounds. What the reader accepts
// must save and load back to the same values. The bytes are read as the server reads a request:
// within the process-wide budget for peer data.
#include "remoting/RODiscovery.h"
#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"
#include "remoting/ROServer.h"

#include "foundation/MemoryBudget.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    TROMessage message;
    try {
        message.LoadFromBytes(bytes, RemotingLimits::kMaxRequestSize, &PeerDataBudget());
    } catch (const EROMessageError &) {
        message.ClearValues();
    }
    if (!message.MessageName().isNull() || !message.Values().empty()) {
        TROMessage again;
        again.LoadFromBytes(message.SaveToBytes(RemotingLimits::kMaxRequestSize * 2), RemotingLimits::kMaxRequestSize * 2);
        if (again.Values() != message.Values() || again.MessageName() != message.MessageName())
            std::abort();
    }

    // No services are registered here: whatever the bytes, the answer is an error reply.
    const TROMessageDispatcher dispatcher(nullptr, nullptr);
    const TROMessageDispatcher::Reply reply = dispatcher.Process(bytes);
    if (!reply.IsError || reply.Data.isEmpty())
        std::abort();

    (void)DecodeDiscoveryRequest(bytes);
    (void)DecodeDiscoveryAnswer(bytes);
    return 0;
}
